// The "Kestrel" tab: a dedicated server with the chosen mode, custom map and mutators.
#include <imgui.h>

#include <memory>
#include <thread>

#include "catalogue/game_mode_selector.h"
#include "catalogue/game_modes.h"
#include "catalogue/game_tags.h"
#include "catalogue/map_search_combo.h"
#include "hosted/hosted_tab_frame.h"
#include "hosted/request_client.h"
#include "hosting/custom_map_names.h"
#include "plugin/matchbay.h"

namespace {

// Everything the worker sends, taken on the drawing pass at the click.
struct KestrelRequest {
    std::string endpoint;
    std::string mapName;
    std::string gameMode;
    std::string mutators;
};

// Runs on a worker of the plugin's hostedWorkers, which the plugin's end waits for.
void RunHostedServerRequest(std::shared_ptr<hosted::HostedRequestState> state,
                                const KestrelRequest& request)
{
    const hosted::RequestResult result = hosted::requestKestrelServer(
        request.endpoint, request.mapName, request.gameMode, request.mutators, hosted::kHostedNetworkOptions);
    state->FinishRequest(result);
}

template <typename T>
bool InRange(std::int32_t index, const T& list)
{
    return index >= 0 && static_cast<size_t>(index) < list.size();
}

} // namespace

void matchbay::RenderKestrelTab()
{
    hosted::KestrelTabState& tab = kestrelTab;
    hosted::HostedRequestState& state = *kestrelRequest;
    const auto servers = ServerListSnapshot();
    const bool serverListLoaded = !servers->serverEndpoints.empty();

    hosted::SubTabFrame frame(state, "KestrelSubTabs");
    if (frame.MainOpen()) {
        ImGui::TextUnformatted("Select Server:");
        hosted::ServerSelectionCombo(*servers, tab.selectedServer);
        ImGui::TextUnformatted("Select Game Mode:");
        catalogue::GameModeSelector(tab.selectedGameMode);
        ImGui::TextUnformatted("Select Map:");
        const std::vector<std::string> maps = customMapNames;
        catalogue::MapSearchCombo("##KestrelMapSelection", tab.selectedMap, maps);
        RenderPresetRow(SetupTab::Kestrel);
        RenderMutatorSettings(kestrelMutatorLabelColumnWidth);

        if (state.RequestPending()) {
            ImGui::TextUnformatted("Processing Request...");
        } else if (hosted::ButtonEnabledIf("Request Server", serverListLoaded) && InRange(tab.selectedServer, servers->serverEndpoints) &&
                   InRange(tab.selectedMap, maps) && InRange(tab.selectedGameMode, GameModeMenu) &&
                   state.BeginRequest(servers->serverEndpoints[static_cast<size_t>(tab.selectedServer)])) {
            KestrelRequest request{servers->serverEndpoints[static_cast<size_t>(tab.selectedServer)],
                                   maps[static_cast<size_t>(tab.selectedMap)],
                                   GameModeTable.at(GameModeMenu[static_cast<size_t>(tab.selectedGameMode)]),
                                   catalogue::BuildGameTags(mutatorSelections)};
            hostedWorkers.Run([state = kestrelRequest, request = std::move(request)] { RunHostedServerRequest(state, request); });
        }
        hosted::ServerDetailsPopup(*this, state, frame);
    }
    frame.End(*this);
}
