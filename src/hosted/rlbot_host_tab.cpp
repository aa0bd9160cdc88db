// The "RLBot Host" tab: a dedicated server on which RLBot bots play, up to three a team.
#include <imgui.h>

#include <memory>
#include <thread>

#include "catalogue/map_search_combo.h"
#include "catalogue/maps.h"
#include "hosted/hosted_tab_frame.h"
#include "hosted/request_client.h"
#include "plugin/matchbay.h"

namespace {

struct BotServerRequest {
    std::string endpoint;
    std::vector<std::string> blueTeamBots;
    std::vector<std::string> orangeTeamBots;
    std::string mapName;
};

// Runs on a worker of the plugin's hostedWorkers, as the Kestrel tab's request does.
void RunBotServerRequest(std::shared_ptr<hosted::HostedRequestState> state,
                         const BotServerRequest& request)
{
    const hosted::RequestResult result =
        hosted::requestServer(request.endpoint, request.blueTeamBots, request.orangeTeamBots, request.mapName.c_str());
    state->FinishRequest(result);
}

template <typename T>
bool InRange(std::int32_t index, const T& list)
{
    return index >= 0 && static_cast<size_t>(index) < list.size();
}

void TeamColumn(std::vector<std::string>& team, const char* idPrefix)
{
    for (size_t i = 0; i < team.size();) {
        ImGui::TextUnformatted(team[i].c_str());
        ImGui::SameLine();
        const std::string id = idPrefix + std::to_string(i);
        if (ImGui::Button(id.c_str())) {
            team.erase(team.begin() + static_cast<std::ptrdiff_t>(i));
            continue; // the entry that moved into this place is drawn next
        }
        ++i;
    }
}

void WrappedLine(const char* format, const std::string& text)
{
    if (!text.empty()) ImGui::TextWrapped(format, text.c_str());
}

} // namespace

void matchbay::RenderRLBotHostTab()
{
    hosted::RLBotHostTabState& tab = rlbotTab;
    hosted::HostedRequestState& state = *rlbotRequest;
    const auto servers = ServerListSnapshot();
    const bool serverListLoaded = !servers->serverEndpoints.empty();
    const std::vector<std::string> bots = BotNamesSnapshot();
    const auto versions = BotVersionsSnapshot();
    const bool botsExist = !bots.empty();
    if (botsExist && static_cast<size_t>(tab.selectedBot) >= bots.size()) tab.selectedBot = 0;
    if (tab.selectedBot < 0) tab.selectedBot = 0;
    const std::vector<std::string>& mapNames = MapTableDisplayNames();

    hosted::SubTabFrame frame(state, "RLBotHostSubTabs");
    if (frame.MainOpen()) {
        ImGui::Separator();
        ImGui::TextUnformatted("Server Selection");
        ImGui::Separator();
        ImGui::TextUnformatted("Select Server:");
        hosted::ServerSelectionCombo(*servers, tab.selectedServer);

        ImGui::Separator();
        ImGui::TextUnformatted("Map Selection");
        ImGui::Separator();
        ImGui::TextUnformatted("Select Map:");
        catalogue::MapSearchCombo("##MapSelection", tab.selectedMap, mapNames);

        ImGui::Separator();
        ImGui::TextUnformatted("Bot Selection");
        ImGui::Separator();
        ImGui::TextUnformatted("Select Bot:");
        const std::string botPreview = botsExist ? bots[static_cast<size_t>(tab.selectedBot)] : "No Bots Available";
        if (ImGui::BeginCombo("##BotSelection", botPreview.c_str())) {
            for (size_t i = 0; i < bots.size(); ++i) {
                const bool selected = static_cast<std::int32_t>(i) == tab.selectedBot;
                // Remote names may repeat: the entry's id is its position.
                ImGui::PushID(static_cast<int>(i));
                if (ImGui::Selectable(bots[i].c_str(), selected)) {
                    tab.selectedBot = static_cast<std::int32_t>(i);
                    FetchBotDetails(bots[i]);
                }
                if (selected) ImGui::SetItemDefaultFocus();
                ImGui::PopID();
            }
            ImGui::EndCombo();
        }

        // The entry a team gets: the bot's name, or the selected version's name when it has versions.
        std::string entry = botsExist ? bots[static_cast<size_t>(tab.selectedBot)] : std::string();
        const std::vector<std::string>* botVersionList = nullptr;
        if (botsExist) {
            auto found = versions->find(entry);
            if (found != versions->end() && !found->second.empty()) botVersionList = &found->second;
        }
        if (botVersionList) {
            // One index for all bots: a shorter version list shows its first entry instead of reading past its end.
            const std::int32_t versionIndex = InRange(tab.selectedVersion, *botVersionList) ? tab.selectedVersion : 0;
            entry = (*botVersionList)[static_cast<size_t>(versionIndex)];
            ImGui::TextUnformatted("Select Version:");
            if (ImGui::BeginCombo("##NestedBotSelection", entry.c_str())) {
                for (size_t i = 0; i < botVersionList->size(); ++i) {
                    const bool selected = static_cast<std::int32_t>(i) == versionIndex;
                    ImGui::PushID(static_cast<int>(i));
                    if (ImGui::Selectable((*botVersionList)[i].c_str(), selected)) {
                        tab.selectedVersion = static_cast<std::int32_t>(i);
                        entry = (*botVersionList)[i];
                        FetchBotDetails(entry);
                    }
                    if (selected) ImGui::SetItemDefaultFocus();
                    ImGui::PopID();
                }
                ImGui::EndCombo();
            }
        }

        const auto details = BotDetailsSnapshot();
        WrappedLine("Description: %s", details->botDescription);
        WrappedLine("Tags: %s", details->botTags);
        WrappedLine("Developer: %s", details->botDeveloper);
        WrappedLine("Fun Fact: %s", details->botFunFact);

        auto addTo = [&](std::vector<std::string>& team) {
            if (team.size() < hosted::kMaxTeamBots) team.push_back(entry);
            else tab.openSizeLimitPopup = true;
        };
        if (hosted::ButtonEnabledIf("Add to Blue Team", botsExist)) addTo(tab.blueTeamBots);
        ImGui::SameLine();
        if (hosted::ButtonEnabledIf("Add to Orange Team", botsExist)) addTo(tab.orangeTeamBots);

        if (std::exchange(tab.openSizeLimitPopup, false)) ImGui::OpenPopup("Max Team Size");
        if (ImGui::BeginPopupModal("Max Team Size", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
            ImGui::TextUnformatted("Max team size is 3 bots.");
            if (ImGui::Button("OK")) ImGui::CloseCurrentPopup();
            ImGui::EndPopup();
        }

        ImGui::Separator();
        ImGui::TextUnformatted("Team Composition");
        ImGui::Separator();
        ImGui::Columns(2, "teamColumns", true);
        ImGui::TextUnformatted("Blue Team");
        ImGui::NextColumn();
        ImGui::TextUnformatted("Orange Team");
        ImGui::NextColumn();
        ImGui::Separator();
        TeamColumn(tab.blueTeamBots, "Remove##Blue");
        ImGui::NextColumn();
        TeamColumn(tab.orangeTeamBots, "Remove##Orange");
        ImGui::Columns(1);

        ImGui::Separator();
        ImGui::TextUnformatted("Request Server");
        ImGui::Separator();
        const bool pending = state.RequestPending();
        if (pending) {
            ImGui::TextUnformatted("Processing Request...");
        } else if (hosted::ButtonEnabledIf("Request Server",
                                           serverListLoaded && (!tab.blueTeamBots.empty() || !tab.orangeTeamBots.empty()))) {
            tab.openConfirmPopup = true;
        }

        if (std::exchange(tab.openConfirmPopup, false)) ImGui::OpenPopup("Confirm Request");
        if (ImGui::BeginPopupModal("Confirm Request", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
            const bool serverValid = InRange(tab.selectedServer, servers->serverLocations);
            const std::string location = serverValid ? servers->serverLocations[static_cast<size_t>(tab.selectedServer)] : "";
            const std::string mapName = InRange(tab.selectedMap, mapNames) ? mapNames[static_cast<size_t>(tab.selectedMap)] : "";
            ImGui::TextUnformatted("Request server with the following settings:");
            ImGui::BulletText("Server: %s", location.c_str());
            ImGui::BulletText("Map: %s", mapName.c_str());
            ImGui::BulletText("Blue Team Bots: %d", static_cast<int>(tab.blueTeamBots.size()));
            ImGui::BulletText("Orange Team Bots: %d", static_cast<int>(tab.orangeTeamBots.size()));
            ImGui::Separator();
            if (ImGui::Button("Confirm")) {
                if (serverValid && InRange(tab.selectedMap, MapTable) &&
                    state.BeginRequest(servers->serverEndpoints[static_cast<size_t>(tab.selectedServer)])) {
                    BotServerRequest request{servers->serverEndpoints[static_cast<size_t>(tab.selectedServer)],
                                             tab.blueTeamBots, tab.orangeTeamBots, MapTableFileName(tab.selectedMap)};
                    hostedWorkers.Run([state = rlbotRequest, request = std::move(request)] { RunBotServerRequest(state, request); });
                }
                ImGui::CloseCurrentPopup();
            }
            ImGui::SameLine();
            if (ImGui::Button("Cancel")) ImGui::CloseCurrentPopup();
            ImGui::EndPopup();
        }

        hosted::ServerDetailsPopup(*this, state, frame);
    }
    frame.End(*this);
}
