// Starting a LAN listen server on this machine.
#include "bakkesmod/wrappers/GameWrapper.h"
#include "hosting/map_file_name.h"
#include "hosting/url_option.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

void matchbay::requestLocal(const std::string& arena, const std::string& gameMode, const std::string& gameTags,
                            const std::string& networkOptions)
{
    if (!hosting::IsLaunchableMapName(arena)) {
        LogLine("Cannot launch map '" + hosting::PrintableMapName(arena) +
                "': its file name holds '|' or a control character, which the game's console would run as "
                "another command. Rename the file in the mods folder.");
        return;
    }
    std::string command = "open " + arena + "?Playtest?game=" + gameMode + "?GameTags=" + gameTags + networkOptions;
    // The match's password goes to the game, never into the log.
    LogLine("Executing local command: " + hosting::WithoutPassword(command));
    if (!gameWrapper) return;
    NoteTravel(command);
    gameWrapper->Execute([command = std::move(command)](GameWrapper* game) { game->ExecuteUnrealCommand(command); });
}
