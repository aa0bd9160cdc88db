// The development host: wires the services together, runs the drawing pass on the main
// thread and the console on a thread of its own, and takes everything down in order.
#include <curl/curl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <exception>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "console/command_queue.h"
#include "console/commands.h"
#include "console/config_file.h"
#include "console/console.h"
#include "frontend/draw_state.h"
#include "folders.h"
#include "frontend/frontend.h"
#include "sim/firewall_sim.h"
#include "sim/game_sim.h"
#include "sim/game_thread.h"
#include "services/http_service.h"
#include "services/image_service.h"
#include "console/input_reader.h"
#include "options.h"
#include "output.h"
#include "plugin_host.h"

namespace {

std::atomic<bool> quitRequested{false};

// The first Ctrl-C ends the session in order; a second one, should that hang, ends the process.
void OnSignal(int signal)
{
    quitRequested = true;
    std::signal(signal, SIG_DFL);
}

std::filesystem::path Absolute(const std::filesystem::path& path)
{
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    return (error ? path : absolute).lexically_normal();
}

} // namespace

int main(int argc, char** argv)
{
    using namespace devhost;
    auto parsed = ParseOptions(argc, argv);
    if (parsed.error) {
        std::fprintf(stderr, "devhost: %s\n%s", parsed.error->c_str(), UsageText().c_str());
        return 2;
    }
    Options options = parsed.options;
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    // Everything named on the command line is relative to where the host was started,
    // not to the game folder it moves into.
    const auto startDirectory = Absolute(".");
    options.pluginPath = Absolute(options.pluginPath);
    options.dataDir = Absolute(options.dataDir);
    if (options.script) {
        options.script = Absolute(*options.script);
        std::error_code error;
        if (!std::filesystem::is_regular_file(*options.script, error)) {
            std::fprintf(stderr, "devhost: cannot read the script %s\n", options.script->c_str());
            return 2;
        }
    }
    if (options.configFile) options.configFile = Absolute(*options.configFile);

    FolderTree tree;
    std::string error = CreateFolderTree(options.dataDir, tree);
    if (error.empty()) error = EnterFolderTree(tree);
    // The plugin's router discovery reads it (empty: the default interface).
    if (error.empty() && setenv("KESTREL_UPNP_INTERFACE", options.upnpInterface.c_str(), 1) != 0)
        error = std::string("cannot set KESTREL_UPNP_INTERFACE: ") + std::strerror(errno);
    if (!error.empty()) {
        std::fprintf(stderr, "devhost: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    curl_global_init(CURL_GLOBAL_DEFAULT);

    ConfigFile config(options.configFile.value_or(tree.defaultConfig));
    config.load();
    CommandQueue commands;
    DevConsole console(config, commands);
    GameThread gameThread;
    GameSim game(gameThread, options.listenPort, options.listenAddress, options.playerName,
                 AllowedNetworks(options.allowJoin));
    auto http = std::make_shared<CurlHttpService>(
        HttpTimeouts{options.connectTimeoutMs, options.totalTimeoutMs, static_cast<std::size_t>(options.maxReplyBytes)});
    bakkesmod::host::installHttpService(http);
    auto images = std::make_shared<ImageStore>();
    bakkesmod::host::installImageService(images);
    auto firewall = std::make_shared<FirewallSim>(tree.root / "firewall" / "rules.json");
    firewall->load();
    bakkesmod::host::installFirewallService(firewall);
    DrawState draw;

    std::unique_ptr<Frontend> frontend;
    FrontendContext frontendContext{draw, console, commands, quitRequested, *images, options.width, options.height};
    if (!options.headless) {
        std::string windowError;
        frontend = CreateWindowFrontend(frontendContext, windowError);
        if (!frontend) HostMessage(windowError + "; running headless instead");
    }
    if (!frontend) frontend = CreateHeadlessFrontend(frontendContext);

    HostMessage("game folder " + tree.gameRoot.string() + ", config " + config.path().string());
    int failures = 0;
    {
        PluginHost plugins(console, gameThread, game, *http, draw);
        if (options.loadPlugin && !plugins.load(options.pluginPath)) ++failures;
        if (!options.script) HostMessage("type 'help' for the commands");

        CommandRunner runner(
            CommandContext{console, gameThread, game, *http, draw, plugins, startDirectory, quitRequested, firewall.get()});
        std::thread consoleThread([&] {
            while (!quitRequested) {
                auto line = commands.pop();
                if (!line) break;
                bool ok = false;
                try {
                    ok = runner.run(line->line);
                } catch (const std::exception& thrown) {
                    HostMessage("the command failed: " + std::string(thrown.what()));
                }
                if (line->done) line->done->set_value(ok);
            }
        });
        InputReader reader(commands, options.script);
        reader.start();

        // The drawing pass: about 60 frames a second.
        auto next = std::chrono::steady_clock::now();
        while (!quitRequested) {
            frontend->frame();
            next += std::chrono::milliseconds(16);
            auto now = std::chrono::steady_clock::now();
            if (next > now) std::this_thread::sleep_for(next - now);
            else next = now;
        }

        draw.stop();
        firewall->stop(); // a wait at an unanswered prompt must not hold up the end
        reader.requestStop();
        commands.close();
        reader.stop();
        // A console line still running (a long sleep, a slow request) finishes first.
        consoleThread.join();
        failures += reader.failures();
        if (plugins.loaded()) plugins.unload("");
    }
    console.saveAll();
    game.closeListenServer();
    http->stop();
    bakkesmod::host::installHttpService(nullptr);
    bakkesmod::host::installFirewallService(nullptr);
    gameThread.stop();
    frontend.reset();
    bakkesmod::host::installImageService(nullptr);
    curl_global_cleanup();
    if (options.script && failures > 0) HostMessage(std::to_string(failures) + " commands failed");
    return options.script && failures > 0 ? 1 : 0;
}
