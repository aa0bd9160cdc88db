#include "console/commands.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include <fmt/format.h>

#include "bakkesmod/host/cvar_store.h"
#include "bakkesmod/wrappers/http/HttpWrapper.h"
#include "output.h"
#include "frontend/ui_commands.h"
#include "console/words.h"
#include "console/process_census.h"

namespace devhost {

namespace {

bool Usage(const std::string& text)
{
    HostMessage("usage: " + text);
    return false;
}

const char* kHelp = R"(commands:
  help                          this list
  togglemenu <name>             open or close a plugin's menu (the plugin's is "matchbay")
  <notifier> [words...]         a plugin's console command, e.g. kz kzlaunch <map> <mode> <tags> <options>
  <cvar>                        print a console variable
  <cvar> <value>                set it (quote values with spaces: name "a b")
  cvars | notifiers             list the console variables | the plugin's commands
  bind <key> [command...]       print or set a key bind (F8 runs "togglemenu matchbay")
  unbind <key> | binds          remove a bind | list them
  press <key>                   run the key's bind, as a key press in the window would
  plugin load <path>            load a plugin library
  plugin unload [name]          unload it (onUnload, deleteMe, close the library)
  plugin list                   show the loaded plugin
  host status                   the host process's thread count, open files and child processes
  host files                    the same, and what each open file is
  http get [--json] <url>       send a request through the host's HTTP and print the completion
  http post [--json] <url> <body>
  sim matchmaking on|off        the matchmaking wrapper is there or null
  sim controller on|off         the player controller is there or null
  sim online on|off             in an online game (empty) or not
  sim player|bot|spectator <name>   add an entry to the online game
  sim emptyslot                 add a null entry to the online game
  sim listen-port <port>        UDP port for the next "?Listen" travel
  sim status                    show the simulated game
  sim firewall status|rules     the simulated Windows Firewall: its settings | its rules
  sim firewall admin on|off     the process runs as an administrator or not
  sim firewall prompt accept|decline|hang   how the elevation prompt is answered
  sim firewall policy on|off    the firewall's COM policy is there or not (netsh still works)
  image <file>                  load an image as the plugin's ImageWrapper does and print its size
  echo <text...>                print the text
  sleep <ms>                    wait
  frames <n>                    wait until n more frames were drawn
  frames longest                the longest time a frame spent in the plugin's window since the last ask,
                                and the time 99 in 100 frames stayed within
  screenshot <file.png>         write the window's picture (windowed mode only)
  ui press <path>               press the item an id path names, e.g. "Kestrel - V1.2.0/Tabs/Host Lan"
  ui type <path> <text>         replace a text field's content with text
  ui pick <combo path> <entry>  open a combo and choose the entry with that label (@<n>/<label> in numbered lists)
  ui windows                    list the windows shown in the last frame
  ui text [window]              print the text lines shown in a window (all windows without one)
  ui wait <window> <text> [s]   wait (10 s unless given) until a line of the window holds the text
                                paths: <window>/<id>/.../<item>, \/ for a slash in a label (devhost/uiscript/ui_path.h)
  quit | exit                   unload the plugin, save the variables and end)";

} // namespace

bool CommandRunner::run(const std::string& line)
{
    auto split = SplitWords(line);
    if (split.error) {
        HostMessage("cannot read the line: " + *split.error + ": " + line);
        return false;
    }
    if (split.words.empty() || split.words[0][0] == '#' || split.words[0].rfind("//", 0) == 0) return true;
    return runWords(split.words);
}

std::filesystem::path CommandRunner::resolve(const std::string& path) const
{
    std::filesystem::path p(path);
    return p.is_absolute() ? p : ctx.startDirectory / p;
}

bool CommandRunner::runWords(const std::vector<std::string>& words)
{
    const std::string& name = words[0];
    const size_t count = words.size();
    if (name == "help") {
        help();
        return true;
    }
    if (name == "quit" || name == "exit") {
        ctx.quit = true;
        return true;
    }
    if (name == "echo") {
        std::string text;
        for (size_t i = 1; i < count; ++i) text += (i > 1 ? " " : "") + words[i];
        PrintLine(text);
        return true;
    }
    if (name == "togglemenu") {
        if (count != 2) return Usage("togglemenu <name>");
        if (!ctx.draw.requestToggle(words[1])) {
            HostMessage("togglemenu: no menu named " + words[1]);
            return false;
        }
        return true;
    }
    if (name == "sleep") {
        auto ms = count == 2 ? ParseInteger(words[1], 0, 600000) : std::nullopt;
        if (!ms) return Usage("sleep <milliseconds, 0 to 600000>");
        // In slices, so quitting (Ctrl-C) does not wait for a long sleep to end.
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(*ms);
        while (!ctx.quit && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                std::chrono::milliseconds(20), end - std::chrono::steady_clock::now()));
        return true;
    }
    if (name == "frames" && count == 2 && words[1] == "longest") {
        const auto times = ctx.draw.takeDrawTimes();
        PrintLine(fmt::format("[draw] longest frame in the plugin's window: {:.3f} ms ({:.3f} ms processor time) over {} frames; "
                              "99 in 100 within {:.3f} ms processor time",
                              times.longestWallMs, times.longestCpuMs, times.frames, times.percentile99CpuMs));
        return true;
    }
    if (name == "frames") {
        auto n = count == 2 ? ParseInteger(words[1], 1, 100000) : std::nullopt;
        if (!n) return Usage("frames <count, 1 to 100000>");
        return ctx.draw.waitFrames(static_cast<std::uint64_t>(*n));
    }
    if (name == "screenshot") {
        if (count != 2) return Usage("screenshot <file.png>");
        const auto path = resolve(words[1]);
        std::string error = ctx.draw.screenshot(path.string());
        if (!error.empty()) {
            HostMessage("screenshot: " + error);
            return false;
        }
        HostMessage("screenshot written to " + path.string());
        return true;
    }
    if (name == "image") {
        if (count != 2) return Usage("image <file>");
        auto service = bakkesmod::host::imageService();
        auto image = service ? service->load(resolve(words[1]).string()) : std::nullopt;
        if (!image) return false; // the service said why
        PrintLine("image " + words[1] + ": " + std::to_string(static_cast<int>(image->width)) + "x" +
                  std::to_string(static_cast<int>(image->height)));
        return true;
    }
    if (name == "plugin") return plugin(words);
    if (name == "host") {
        if (count != 2 || (words[1] != "status" && words[1] != "files")) return Usage("host status | host files");
        for (const auto& line : DescribeProcessCensus(TakeProcessCensus(), words[1] == "files")) PrintLine("[host] " + line);
        return true;
    }
    if (name == "bind" || name == "unbind" || name == "binds" || name == "press") return bind(words);
    if (name == "http") return http(words);
    if (name == "sim" && count >= 2 && words[1] == "firewall" && ctx.firewall) return ctx.firewall->command(words);
    if (name == "sim") return ctx.game.command(words);
    if (name == "ui") return RunUiCommand(ctx.draw, words);
    if (name == "cvars") {
        for (const auto& entry : ctx.console.cvars())
            PrintLine(entry->definition().name + " = " + QuoteWord(entry->value()) + (entry->definition().saveToCfg ? " (saved)" : ""));
        return true;
    }
    if (name == "notifiers") {
        for (const auto& [notifier, description] : ctx.console.notifiers()) PrintLine(notifier + ": " + description);
        return true;
    }
    if (auto notifier = ctx.console.notifier(name)) {
        ctx.gameThread.runAndWait([&] { (*notifier)(words); });
        return true;
    }
    if (ctx.console.findCvar(name)) return cvar(words);
    HostMessage("unknown command: " + name + " (type 'help' for the list)");
    return false;
}

bool CommandRunner::cvar(const std::vector<std::string>& words)
{
    auto entry = ctx.console.findCvar(words[0]);
    if (words.size() == 1) {
        PrintLine(words[0] + " = " + QuoteWord(entry->value()));
        return true;
    }
    if (words.size() != 2) return Usage(words[0] + " [value] (quote a value that has spaces)");
    const std::string value = words[1];
    // Change callbacks belong on the game thread.
    ctx.gameThread.runAndWait([entry, value] { entry->setValue(value); });
    return true;
}

bool CommandRunner::plugin(const std::vector<std::string>& words)
{
    const std::string usage = "plugin load <path> | plugin unload [name] | plugin list";
    if (words.size() < 2) return Usage(usage);
    const std::string& what = words[1];
    if (what == "load" && words.size() == 3) return ctx.plugins.load(std::filesystem::absolute(resolve(words[2])));
    if (what == "unload" && words.size() <= 3) return ctx.plugins.unload(words.size() == 3 ? words[2] : "");
    if (what == "list" && words.size() == 2) {
        HostMessage(ctx.plugins.describe());
        return true;
    }
    return Usage(usage);
}

bool CommandRunner::bind(const std::vector<std::string>& words)
{
    const std::string& name = words[0];
    if (name == "binds") {
        for (const auto& [key, command] : ctx.console.binds()) PrintLine(key + " = " + QuoteWord(command));
        return true;
    }
    if (words.size() < 2) return Usage(name == "bind" ? "bind <key> [command...]" : name + " <key>");
    const std::string& key = words[1];
    if (name == "unbind") {
        ctx.console.removeBind(key);
        return true;
    }
    if (name == "press") {
        if (auto command = ctx.console.bind(key)) {
            // "bind F8 press F8" would otherwise recurse until the stack runs out.
            if (pressDepth >= kMaxPressDepth) {
                HostMessage("press: " + key + " leads to presses without end; stopped");
                return false;
            }
            ++pressDepth;
            const bool ok = run(*command);
            --pressDepth;
            return ok;
        }
        HostMessage("press: nothing is bound to " + key);
        return false;
    }
    if (words.size() == 2) {
        auto command = ctx.console.bind(key);
        PrintLine(key + " = " + (command ? QuoteWord(*command) : "(not bound)"));
        return true;
    }
    std::string command;
    for (size_t i = 2; i < words.size(); ++i) command += (i > 2 ? " " : "") + QuoteWord(words[i]);
    ctx.console.setBind(key, command);
    return true;
}

bool CommandRunner::http(const std::vector<std::string>& words)
{
    const std::string usage = "http get [--json] <url> | http post [--json] <url> <body>";
    if (words.size() < 3) return Usage(usage);
    CurlRequest request;
    size_t next = 2;
    bool json = false;
    if (words[next] == "--json") {
        json = true;
        ++next;
    }
    if (words[1] == "get" && words.size() == next + 1) {
        request.url = words[next];
    } else if (words[1] == "post" && words.size() == next + 2) {
        request.verb = "POST";
        request.url = words[next];
        request.body = words[next + 1];
    } else {
        return Usage(usage);
    }
    auto started = std::chrono::steady_clock::now();
    auto answer = std::make_shared<std::promise<std::pair<int, std::string>>>();
    auto outcome = answer->get_future();
    ctx.http.send(request, json, [answer](int code, std::string body) { answer->set_value({code, std::move(body)}); });
    auto [code, body] = outcome.get();
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    PrintLine("[http] " + request.verb + " " + request.url + " -> " + std::to_string(code) + " after " +
              std::to_string(elapsed.count()) + " ms");
    PrintLine("[http] body: " + body);
    return true;
}

void CommandRunner::help() { PrintLine(kHelp); }

} // namespace devhost
