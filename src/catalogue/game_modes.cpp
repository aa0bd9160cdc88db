#include "catalogue/game_modes.h"

// The game names the Snow Day class "Gameinfo" with a lower-case "i", unlike the others; it must reach the
// game exactly so.
const std::map<std::string, std::string> GameModeTable{
    {"Soccar", "TAGame.GameInfo_Soccar_TA"},
    {"Hoops", "TAGame.GameInfo_Basketball_TA"},
    {"Snow Day", "TAGame.Gameinfo_Hockey_TA"},
    {"Rumble", "TAGame.GameInfo_Items_TA"},
    {"Dropshot", "TAGame.GameInfo_Breakout_TA"},
    {"Heatseeker", "TAGame.GameInfo_GodBall_TA"},
    {"Gridiron", "TAGame.GameInfo_FootBall_TA"},
    {"SplitShot", "TAGame.GameInfo_Territory_TA"},
};
