// The "Host Lan" tab: a LAN listen server with the chosen mode, map and mutators.
#include <imgui.h>
#include <imgui_stdlib.h>

#include "catalogue/game_mode_selector.h"
#include "catalogue/game_modes.h"
#include "catalogue/game_tags.h"
#include "catalogue/map_search_combo.h"
#include "hosting/match_password.h"
#include "hosting/tab_state.h"
#include "plugin/matchbay.h"

namespace {

const ImVec4 kRefusedColour(1.0f, 0.4f, 0.4f, 1.0f);

// The console may set the password between two frames, so the field edits a copy.
void MatchPasswordField(hosting::LanHostTabState& tab)
{
    std::string password = hosting::MatchPassword().Get();
    ImGui::SetNextItemWidth(200);
    if (ImGui::InputText("Match Password", &password, tab.showMatchPassword ? 0 : ImGuiInputTextFlags_Password))
        hosting::MatchPassword().Set(password);
    ImGui::SameLine();
    ImGui::Checkbox("Show", &tab.showMatchPassword);
}

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
    MatchPasswordField(tab);

    if (ImGui::Button("Host Lan")) {
        // Indices only ever come from the widgets, but a stale one must not read past a list.
        if (tab.selectedMap < 0 || static_cast<size_t>(tab.selectedMap) >= tab.mapFileNames.size()) return;
        if (tab.selectedGameMode < 0 || static_cast<size_t>(tab.selectedGameMode) >= GameModeMenu.size()) return;
        const std::string& arena = tab.mapFileNames[static_cast<size_t>(tab.selectedMap)];
        const std::string& gameMode = GameModeTable.at(GameModeMenu[static_cast<size_t>(tab.selectedGameMode)]);
        const std::string password = hosting::MatchPassword().Get();
        if (auto refusal = hosting::MatchPasswordRefusal(password)) {
            tab.launchStatus = *refusal;
        } else {
            tab.launchStatus.clear();
            requestLocal(arena, gameMode, catalogue::BuildGameTags(mutatorSelections), hosting::LanNetworkOptions(password));
        }
    }
    if (!tab.launchStatus.empty()) ImGui::TextColored(kRefusedColour, "%s", tab.launchStatus.c_str());
}
