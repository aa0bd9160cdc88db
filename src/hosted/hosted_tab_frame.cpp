#include "hosted/hosted_tab_frame.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <fmt/format.h>

#include "bakkesmod/wrappers/GameWrapper.h"
#include "lobby/lobby_address.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace hosted {

void ServerSelectionCombo(const ServerList& servers, std::int32_t& selectedServer)
{
    const bool loaded = !servers.serverLocations.empty();
    const bool valid = loaded && selectedServer >= 0 && static_cast<size_t>(selectedServer) < servers.serverLocations.size();
    const char* preview = !loaded ? "No Servers Available"
                                  : valid ? servers.serverLocations[static_cast<size_t>(selectedServer)].c_str() : "";
    if (!ImGui::BeginCombo("##ServerSelection", preview)) return;
    for (size_t i = 0; loaded && i < servers.serverLocations.size(); ++i) {
        const bool selected = static_cast<std::int32_t>(i) == selectedServer;
        // Remote names may repeat: the entry's id is its position.
        ImGui::PushID(static_cast<int>(i));
        if (ImGui::Selectable(servers.serverLocations[i].c_str(), selected)) selectedServer = static_cast<std::int32_t>(i);
        if (selected) ImGui::SetItemDefaultFocus();
        ImGui::PopID();
    }
    ImGui::EndCombo();
}

void ServerDetailsPopup(matchbay& plugin, HostedRequestState& state, const SubTabFrame& frame)
{
    if (state.TakeShowServerDetails(frame.Active())) ImGui::OpenPopup("Server Details");
    if (!ImGui::BeginPopupModal("Server Details", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    const ResultView result = state.View();
    if (result.failed) {
        ImGui::TextUnformatted(result.failureText.c_str());
        if (ImGui::Button("Close")) ImGui::CloseCurrentPopup();
    } else {
        ImGui::TextUnformatted("Server Details:");
        ImGui::BulletText("IP: %s", result.resultAddress.c_str());
        ImGui::BulletText("Port: %d", result.resultPort);
        ImGui::Separator();
        if (ImGui::Button("Join")) {
            plugin.JoinHostedServer(result.resultAddress, result.resultPort);
            ImGui::CloseCurrentPopup();
        }
    }
    ImGui::EndPopup();
}

SubTabFrame::SubTabFrame(HostedRequestState& state, const char* tabBarId) : state(state)
{
    active = state.ServerActive();
    if (!active) return;
    const bool select = state.TakeSelectMainTab();
    barOpen = ImGui::BeginTabBar(tabBarId);
    if (!barOpen) {
        mainOpen = false;
        return;
    }
    mainItemOpen = ImGui::BeginTabItem("Main", nullptr, select ? ImGuiTabItemFlags_SetSelected : 0);
    mainOpen = mainItemOpen;
}

void SubTabFrame::End(matchbay& plugin)
{
    if (!active || !barOpen) return;
    if (mainItemOpen) ImGui::EndTabItem();
    if (ImGui::BeginTabItem("Server Controls")) {
        plugin.CollectOnlinePlayerNames(state.playerNames);
        const ResultView server = state.View();
        plugin.RenderServerControls(server.controlledEndpoint, server.controlledPort, state.playerNames);
        ImGui::EndTabItem();
    }
    ImGui::EndTabBar();
}

bool ButtonEnabledIf(const char* label, bool enabled)
{
    if (enabled) return ImGui::Button(label);
    ImGui::PushItemFlag(ImGuiItemFlags_Disabled, true);
    ImGui::PushStyleVar(ImGuiStyleVar_Alpha, ImGui::GetStyle().Alpha * 0.5f);
    ImGui::Button(label);
    ImGui::PopStyleVar();
    ImGui::PopItemFlag();
    return false;
}

} // namespace hosted

void matchbay::JoinHostedServer(const std::string& address, int port)
{
    // The address comes from the remote hosting service and goes into a console command.
    if (!lobby::IsPlainHostAddress(address)) {
        LogLine("Not joining the hosted server: its address is not a plain host name or IPv4 address");
        return;
    }
    if (!gameWrapper) return;
    std::string command = fmt::format("start {}:{}/?Lan", address, port);
    NoteTravel(command);
    gameWrapper->Execute([command = std::move(command)](GameWrapper* game) { game->ExecuteUnrealCommand(command); });
}
