// "Server Controls": commands to the hosted game server through its location's API.
#include "hosted/server_controls.h"

#include <imgui.h>

#include "bakkesmod/wrappers/GameWrapper.h"
#include "bakkesmod/wrappers/http/HttpWrapper.h"
#include "lobby/http_utils.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace hosted {

std::string ServerCommandBody(const std::string& command, std::int32_t port, const std::optional<nlohmann::json>& player)
{
    nlohmann::json body = {{"command", command}, {"port", port}};
    if (player) body["player"] = *player;
    return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace hosted

namespace {

// label: what the log lines call the command ("lock", "game-speed"); shown: its success form.
void SendServerCommand(const std::string& endpoint, std::string body, const char* label, const char* shown)
{
    CurlRequest request;
    request.url = fmt::format("http://{}/servercommand", endpoint);
    request.verb = "POST";
    request.body = std::move(body);
    http_utils::HandleRequest(
        200, request, [shown] { Log("{} command sent successfully", shown); },
        [label](std::string error) { Log("Failed to send {} command: {}", label, error); });
}

} // namespace

void matchbay::RenderServerControls(const std::string& endpoint, int port, const std::vector<std::string>& players)
{
    ImGui::Separator();
    ImGui::TextUnformatted("Server Controls");
    ImGui::Separator();

    if (endpoint.empty()) {
        ImGui::TextUnformatted("Error: Invalid server selection");
        return;
    }

    if (ImGui::Button("Lock")) SendServerCommand(endpoint, hosted::ServerCommandBody("lock", port), "lock", "Lock");
    ImGui::SameLine();
    if (ImGui::Button("Restart"))
        SendServerCommand(endpoint, hosted::ServerCommandBody("restart", port), "restart", "Restart");
    ImGui::SameLine();
    if (ImGui::Button("Pause")) SendServerCommand(endpoint, hosted::ServerCommandBody("pause", port), "pause", "Pause");
    ImGui::SameLine();
    ImGui::SetNextItemWidth(60);
    ImGui::InputInt("##GameSpeed", &gameSpeedValue, 0, 0, ImGuiInputTextFlags_CharsDecimal | ImGuiInputTextFlags_AutoSelectAll);
    ImGui::SameLine();
    if (ImGui::Button("Game-Speed"))
        SendServerCommand(endpoint, hosted::ServerCommandBody("gs", port, nlohmann::json(gameSpeedValue)), "game-speed",
                          "Game-Speed");

    ImGui::Separator();
    ImGui::TextUnformatted("Players:");
    ImGui::BeginChild("PlayerList", ImVec2(0, 150), true);
    for (size_t i = 0; i < players.size(); ++i) {
        ImGui::TextUnformatted(players[i].c_str());
        ImGui::SameLine();
        const std::string id = "Kick##Player" + std::to_string(i);
        if (ImGui::Button(id.c_str()))
            SendServerCommand(endpoint, hosted::ServerCommandBody("kick", port, nlohmann::json(players[i])), "kick", "Kick");
    }
    ImGui::EndChild();
}

void matchbay::CollectOnlinePlayerNames(std::vector<std::string>& players)
{
    if (!gameWrapper) return;
    ServerWrapper game = gameWrapper->GetOnlineGame();
    if (!game) return;
    players.clear();
    ArrayWrapper<PriWrapper> entries = game.GetPRIs();
    for (int i = 0; i < entries.Count(); ++i) {
        PriWrapper entry = entries.Get(i);
        if (!entry || entry.GetbOnlySpectator() || entry.GetbBot()) continue;
        std::string name = entry.GetPlayerName().ToString();
        if (!name.empty()) players.push_back(std::move(name));
    }
}
