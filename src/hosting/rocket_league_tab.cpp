// The "Rocket League" tab: a private match through the game's own matchmaking.
#include <imgui.h>

#include <iterator>

#include "bakkesmod/wrappers/GameWrapper.h"
#include "catalogue/game_mode_selector.h"
#include "catalogue/game_modes.h"
#include "catalogue/game_tags.h"
#include "catalogue/map_search_combo.h"
#include "catalogue/maps.h"
#include "hosting/private_match.h"
#include "hosting/tab_state.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace {

void RegionCombo(std::int32_t& selectedRegion)
{
    const auto& regions = hosting::PrivateMatchRegions;
    const bool valid = selectedRegion >= 0 && static_cast<size_t>(selectedRegion) < regions.size();
    if (!ImGui::BeginCombo("##ServerSelection", valid ? regions[static_cast<size_t>(selectedRegion)].displayName : ""))
        return;
    for (size_t i = 0; i < regions.size(); ++i) {
        const bool selected = static_cast<std::int32_t>(i) == selectedRegion;
        if (ImGui::Selectable(regions[i].displayName, selected)) selectedRegion = static_cast<std::int32_t>(i);
        if (selected) ImGui::SetItemDefaultFocus();
    }
    ImGui::EndCombo();
}

} // namespace

void matchbay::RenderRocketLeagueTab()
{
    hosting::RocketLeagueTabState& tab = hosting::RocketLeagueTab();

    ImGui::TextUnformatted("Select Server:");
    RegionCombo(tab.selectedRegion);
    ImGui::TextUnformatted("Server Name:");
    ImGui::InputText("##ServerName", tab.serverNameBuffer.data(), tab.serverNameBuffer.size());
    ImGui::TextUnformatted("Select Game Mode:");
    catalogue::GameModeSelector(tab.selectedPrivateGameMode);
    ImGui::TextUnformatted("Password:");
    ImGui::InputText("##Password", tab.passwordBuffer.data(), tab.passwordBuffer.size(), ImGuiInputTextFlags_Password);
    ImGui::TextUnformatted("Select Map:");
    catalogue::MapSearchCombo("##MapSelection", tab.selectedPrivateMap, MapTableDisplayNames());
    RenderPresetRow(SetupTab::RocketLeague);
    RenderMutatorSettings(rocketLeagueMutatorLabelColumnWidth);

    if (!ImGui::Button("Request Server")) return;
    const auto& regions = hosting::PrivateMatchRegions;
    if (tab.selectedRegion < 0 || static_cast<size_t>(tab.selectedRegion) >= regions.size()) return;
    if (tab.selectedPrivateGameMode < 0 || static_cast<size_t>(tab.selectedPrivateGameMode) >= GameModeMenu.size()) return;
    const std::string arena = MapTableFileName(tab.selectedPrivateMap);
    if (arena.empty()) return;

    const std::string gameMode = GameModeTable.at(GameModeMenu[static_cast<size_t>(tab.selectedPrivateGameMode)]);
    const std::string serverName = tab.serverNameBuffer.data();
    const std::string regionCode = regions[static_cast<size_t>(tab.selectedRegion)].code;
    const std::string password = tab.passwordBuffer.data();
    LogLine("Requesting server with parameters:");
    LogLine("arena: " + arena);
    LogLine("selectedGameMode: " + gameMode);
    LogLine("gameTags: " + catalogue::BuildGameTags(mutatorSelections));
    LogLine("servername: " + serverName);
    LogLine("serversrl: " + regionCode);
    // The field is masked on screen; the log, which players paste into bug reports, keeps it so.
    LogLine("pswd: " + hosting::MaskedPassword(password));

    if (!gameWrapper) return;
    std::weak_ptr<matchbay> self = weak_from_this();
    gameWrapper->Execute([self, arena, gameMode, gameTags = catalogue::BuildGameTags(mutatorSelections), serverName,
                          regionCode, password](GameWrapper*) {
        if (auto plugin = self.lock()) plugin->RequestPrivateMatch(arena, gameMode, gameTags, serverName, regionCode, password.c_str());
    });
}
