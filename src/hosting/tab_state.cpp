#include "hosting/tab_state.h"

#include "catalogue/maps.h"
#include "hosting/custom_map_names.h"

namespace hosting {

LanHostTabState& LanHostTab()
{
    static LanHostTabState state;
    return state;
}

void RebuildLanMapLists(LanHostTabState& tab)
{
    tab.mapDisplayNames.clear();
    tab.mapFileNames.clear();
    tab.selectedMap = 0;
    if (tab.useCustomMaps) {
        tab.mapDisplayNames = customMapNames;
        tab.mapFileNames = customMapNames;
    } else {
        for (const auto& [fileName, displayName] : MapTable) {
            tab.mapDisplayNames.push_back(displayName);
            tab.mapFileNames.push_back(fileName);
        }
    }
    tab.listsBuiltWithCustomMaps = tab.useCustomMaps;
}

RocketLeagueTabState& RocketLeagueTab()
{
    static RocketLeagueTabState state;
    return state;
}

} // namespace hosting
