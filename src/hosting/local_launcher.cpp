// Starting a LAN listen server on this machine.
#include "bakkesmod/wrappers/GameWrapper.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

void matchbay::requestLocal(const std::string& arena, const std::string& gameMode, const std::string& gameTags,
                            const std::string& networkOptions)
{
    std::string command = "open " + arena + "?Playtest?game=" + gameMode + "?GameTags=" + gameTags + networkOptions;
    LogLine("Executing local command: " + command);
    if (!gameWrapper) return;
    gameWrapper->Execute([command = std::move(command)](GameWrapper* game) { game->ExecuteUnrealCommand(command); });
}
