#pragma once
// The Kestrel and RLBot Host tabs' choices: they last as long as the plugin object and are
// never reset by a request.
#include <cstdint>
#include <string>
#include <vector>

namespace hosted {

struct KestrelTabState {
    std::int32_t selectedServer = 0;   // into serverLocations / serverEndpoints
    std::int32_t selectedGameMode = 0; // into GameModeMenu
    std::int32_t selectedMap = 0;      // into customMapNames
};

inline constexpr size_t kMaxTeamBots = 3;

struct RLBotHostTabState {
    std::int32_t selectedServer = 0;
    std::int32_t selectedMap = 0;     // position in MapTable's key order
    std::int32_t selectedBot = 0;     // into the bot names
    std::int32_t selectedVersion = 0; // into the selected bot's versions; shared by all bots
    std::vector<std::string> blueTeamBots;
    std::vector<std::string> orangeTeamBots;
    bool openConfirmPopup = false;
    bool openSizeLimitPopup = false;
};

} // namespace hosted
