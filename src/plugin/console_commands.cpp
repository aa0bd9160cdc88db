// The "kz" console notifier.
#include "bakkesmod/wrappers/GameWrapper.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

void matchbay::HandleConsoleCommand(const std::vector<std::string>& words)
{
    if (words.size() < 2) {
        LogLine("usage: kz [kzlaunch|announcement|addBot] ...");
        return;
    }
    const std::string& command = words[1];
    if (command == "kzlaunch") {
        HandleLaunchCommand(words);
    } else if (command == "announcement") {
        if (!gameWrapper) return;
        PlayerControllerWrapper controller = gameWrapper->GetPlayerController();
        if (controller) controller.ServerSay_TA("Hello, this is a server message.", 0, false);
    } else if (command == "addBot") {
        if (words.size() < 3) {
            LogLine("usage: addBot [botName]");
            return;
        }
        AppendBotName(words[2]);
        LogLine("Added bot: " + words[2]);
    } else {
        LogLine("Invalid command: " + command);
    }
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
    // Typed by the player in the console, which already runs on the game thread.
    if (gameWrapper) gameWrapper->ExecuteUnrealCommand(command);
}
