// The "Host Lan" tab: a LAN listen server with the chosen mode, map and mutators.
#include <imgui.h>

#include "catalogue/game_mode_selector.h"
#include "catalogue/game_modes.h"
#include "catalogue/game_tags.h"
#include "catalogue/map_search_combo.h"
#include "hosting/tab_state.h"
#include "plugin/matchbay.h"

namespace {

constexpr const char* kLanNetworkOptions = "?NumPublicConnections=10?NumOpenPublicConnections=10?Lan?Listen";

} // namespace

void matchbay::RenderLanHostTab()
{
    hosting::LanHostTabState& tab = hosting::LanHostTab();
    if (tab.mapDisplayNames.empty() || tab.listsBuiltWithCustomMaps != tab.useCustomMaps) hosting::RebuildLanMapLists(tab);

    ImGui::TextUnformatted("Select Game Mode:");
    catalogue::GameModeSelector(tab.selectedGameMode);
    ImGui::Checkbox("Custom maps", &tab.useCustomMaps);
    ImGui::TextUnformatted("Select Map:");
    catalogue::MapSearchCombo("##HostLanMapSelection", tab.selectedMap, tab.mapDisplayNames);
    RenderPresetRow(SetupTab::HostLan);
    RenderMutatorSettings(hostLanMutatorLabelColumnWidth);

    if (ImGui::Button("Host Lan")) {
        // Indices only ever come from the widgets, but a stale one must not read past a list.
        if (tab.selectedMap < 0 || static_cast<size_t>(tab.selectedMap) >= tab.mapFileNames.size()) return;
        if (tab.selectedGameMode < 0 || static_cast<size_t>(tab.selectedGameMode) >= GameModeMenu.size()) return;
        const std::string& arena = tab.mapFileNames[static_cast<size_t>(tab.selectedMap)];
        const std::string& gameMode = GameModeTable.at(GameModeMenu[static_cast<size_t>(tab.selectedGameMode)]);
        requestLocal(arena, gameMode, catalogue::BuildGameTags(mutatorSelections), kLanNetworkOptions);
    }
}
