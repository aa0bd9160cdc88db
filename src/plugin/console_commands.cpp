// The "kz" console notifier: one row per sub-command.
#include "bakkesmod/wrappers/GameWrapper.h"
#include "hosting/match_password.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace {

using Words = std::vector<std::string>;

// One row per sub-command, matched exactly (case-sensitive) against the second word.
struct ConsoleCommandRow {
    const char* name;
    void (*run)(matchbay& plugin, const Words& words);
};

void Announce(matchbay& plugin, const Words&)
{
    if (!plugin.gameWrapper) return;
    PlayerControllerWrapper controller = plugin.gameWrapper->GetPlayerController();
    if (controller) controller.ServerSay_TA("Hello, this is a server message.", 0, false);
}

void AddBot(matchbay& plugin, const Words& words)
{
    if (words.size() < 3) {
        LogLine("usage: addBot [botName]");
        return;
    }
    plugin.AppendBotName(words[2]);
    LogLine("Added bot: " + words[2]);
}

void Join(matchbay& plugin, const Words& words)
{
    if (words.size() < 3 || words.size() > 4) {
        LogLine("usage: kz join <host[:port]> [password]");
        return;
    }
    plugin.JoinAddress(words[2], words.size() == 4 ? words[3] : std::string());
}

// Prints whether a password is set, never the password itself.
void Password(matchbay&, const Words& words)
{
    if (words.size() > 3) {
        LogLine("usage: kz password [text]");
        return;
    }
    const std::string password = words.size() == 3 ? words[2] : std::string();
    if (auto refusal = hosting::MatchPasswordRefusal(password)) {
        LogLine(*refusal);
        return;
    }
    hosting::MatchPassword().Set(password);
    LogLine(password.empty() ? "Match Password cleared: the next Host Lan match is open to anyone"
                             : "Match Password set: the next Host Lan match asks for it");
}

// The router's direct path: "kz router open|close|status|reachable". Open, close and
// reachable run on the reverse proxy worker; their outcome comes as status log lines.
void Router(matchbay& plugin, const Words& words)
{
    const std::string verb = words.size() == 3 ? words[2] : std::string();
    if (verb == "open") {
        plugin.OpenRouterPort();
    } else if (verb == "close") {
        plugin.CloseRouterPort();
    } else if (verb == "reachable") {
        plugin.MakeReachable();
    } else if (verb == "status") {
        const reverse_proxy::RouterLine line = plugin.RouterSnapshot();
        LogLine("Router: " + std::string(reverse_proxy::RouterIcon(line.state)) + " " + line.text);
    } else {
        LogLine("usage: kz router open|close|status|reachable");
    }
}

const ConsoleCommandRow consoleCommands[] = {
    {"kzlaunch", [](matchbay& plugin, const Words& words) { plugin.HandleLaunchCommand(words); }},
    {"announcement", Announce},
    {"addBot", AddBot},
    {"join", Join},
    {"password", Password},
    {"preset", [](matchbay& plugin, const Words& words) { plugin.HandlePresetCommand(words); }},
    {"setup", [](matchbay& plugin, const Words& words) { plugin.HandleSetupCommand(words); }},
    {"router", Router},
};

std::string ConsoleUsage()
{
    std::string names;
    for (const ConsoleCommandRow& row : consoleCommands) names += (names.empty() ? "" : "|") + std::string(row.name);
    return "usage: kz [" + names + "] ...";
}

} // namespace

void matchbay::HandleConsoleCommand(const std::vector<std::string>& words)
{
    if (words.size() < 2) {
        LogLine(ConsoleUsage());
        return;
    }
    for (const ConsoleCommandRow& row : consoleCommands) {
        if (words[1] == row.name) {
            row.run(*this, words);
            return;
        }
    }
    LogLine("Invalid command: " + words[1]);
}

void matchbay::HandleLaunchCommand(const std::vector<std::string>& words)
{
    if (words.size() < 6) {
        LogLine("usage: rp kzlaunch [arena] [gamemode] [gametags] [networkoptions]");
        return;
    }
    const std::string& arena = words[2];
    const std::string& gameMode = words[3];
    const std::string& gameTags = words[4];
    const std::string& networkOptions = words[5];
    LogLine(arena);
    LogLine(gameMode);
    LogLine(gameTags);
    LogLine(networkOptions);

    const std::string command = "open " + arena + "?Playtest?game=" + gameMode + "?GameTags=" + gameTags + networkOptions;
    LogLine(command);
    NoteTravel(command);
    // Typed by the player in the console, which already runs on the game thread.
    if (gameWrapper) gameWrapper->ExecuteUnrealCommand(command);
}
