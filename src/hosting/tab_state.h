#pragma once
// The Host Lan and Rocket League tabs' choices. They last as long as the library is
// loaded, not one opening of the window.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace hosting {

struct LanHostTabState {
    std::int32_t selectedGameMode = 0;     // index into GameModeMenu
    std::int32_t selectedMap = 0;          // index into the two map lists
    bool useCustomMaps = false;            // the "Custom maps" box
    bool listsBuiltWithCustomMaps = false; // useCustomMaps when the lists were last built
    std::vector<std::string> mapDisplayNames; // what the map selector shows
    std::vector<std::string> mapFileNames;    // what the travel command uses, same order
    bool showMatchPassword = false;           // the "Show" box beside "Match Password"
    std::string launchStatus;                 // why "Host Lan" launched nothing; empty after a launch
};

struct RocketLeagueTabState {
    std::int32_t selectedRegion = 0;                     // index into PrivateMatchRegions
    std::array<char, 128> serverNameBuffer{"DefaultServerName"};
    std::array<char, 128> passwordBuffer{};
    std::int32_t selectedPrivateGameMode = 0;            // index into GameModeMenu
    std::int32_t selectedPrivateMap = 0;                 // position in MapTable
};

LanHostTabState& LanHostTab();
// Fills the two map lists from MapTable, or from the custom map names when useCustomMaps, and selects the first.
void RebuildLanMapLists(LanHostTabState& tab);
RocketLeagueTabState& RocketLeagueTab();

} // namespace hosting
