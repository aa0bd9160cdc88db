// The "Reverse Proxy" window's content: popups, connection and firewall lines, proxy list,
// buttons and status log. It only reads state and queues operations; nothing here waits.
#include <imgui.h>

#include <cmath>

#include "plugin/matchbay.h"
#include "reverseproxy/download_progress.h"
#include "reverseproxy/panel_style.h"

namespace style = reverse_proxy::style;

// Set by a click that needs the firewall rule first; opens "Firewall Not Ready" next frame.
bool firewallNotReadyRequested = false;

namespace {

bool removeRefusedRequested = false;

void CentreNextPopup()
{
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y * 0.5f), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
}

bool BeginCentredModal(const char* name)
{
    CentreNextPopup();
    return ImGui::BeginPopupModal(name, nullptr, ImGuiWindowFlags_AlwaysAutoResize);
}

void PopupFooterSpacing()
{
    ImGui::Spacing();
    ImGui::Separator();
    ImGui::Spacing();
}

void LatencyText(std::int32_t latency)
{
    if (latency < 0) {
        ImGui::TextColored(style::grey, "---");
    } else {
        ImGui::TextColored(style::LatencyColour(latency), "%dms", latency);
    }
}

} // namespace

void matchbay::RenderReverseProxyPanel()
{
    // 1. Download prompt.
    if (showDownloadPrompt && !isDownloading && !ImGui::IsPopupOpen("Download frpc.exe")) {
        ImGui::OpenPopup("Download frpc.exe");
    }
    if (BeginCentredModal("Download frpc.exe")) {
        ImGui::Text("frpc.exe was not detected.");
        ImGui::Text("Would you like to download it now?");
        ImGui::Spacing();
        ImGui::TextColored(style::sourceGrey, "Source: %s", frpcDownloadUrl.c_str());
        PopupFooterSpacing();
        if (ImGui::Button("Yes, Download", ImVec2(120, 0))) {
            StartFrpcDownload();
            ImGui::CloseCurrentPopup();
        }
        ImGui::SameLine();
        if (ImGui::Button("No, Cancel", ImVec2(120, 0))) {
            showDownloadPrompt = false;
            AddStatusLog("Download cancelled", LogLevel::Info);
            ImGui::CloseCurrentPopup();
        }
        ImGui::EndPopup();
    }

    // 2. Firewall not ready.
    if (firewallNotReadyRequested || firewallNotReadyFromWorker.exchange(false)) {
        ImGui::OpenPopup("Firewall Not Ready");
        firewallNotReadyRequested = false;
    }
    if (BeginCentredModal("Firewall Not Ready")) {
        ImGui::TextColored(style::red, "Cannot Connect to Server");
        ImGui::Spacing();
        ImGui::Text("The Windows Firewall rule must be created before connecting.");
        ImGui::Spacing();
        switch (firewallStatus.load()) {
        case FirewallStatus::NeedsAdmin:
            ImGui::TextWrapped("Please click the 'Create Firewall Rule' button above to create");
            ImGui::TextWrapped("the required firewall rule with administrator privileges.");
            break;
        case FirewallStatus::Error:
            ImGui::TextWrapped("There was an error with the firewall configuration.");
            ImGui::TextWrapped("Please check the status log for more details.");
            break;
        default:
            ImGui::TextWrapped("The firewall is not properly configured.");
            ImGui::TextWrapped("Please check the firewall status above.");
            break;
        }
        PopupFooterSpacing();
        if (ImGui::Button("OK", ImVec2(120, 0))) {
            ImGui::CloseCurrentPopup();
        }
        ImGui::EndPopup();
    }

    // 3. Removal refused while a tunnel is up.
    if (removeRefusedRequested) {
        ImGui::OpenPopup("Cannot Remove Firewall Rule");
        removeRefusedRequested = false;
    }
    if (BeginCentredModal("Cannot Remove Firewall Rule")) {
        ImGui::TextColored(style::orange, "Cannot Remove Firewall Rule");
        ImGui::Spacing();
        ImGui::Text("You must disconnect from the proxy server before removing");
        ImGui::Text("the firewall rule.");
        ImGui::Spacing();
        ImGui::TextWrapped("Please click the 'Disconnect' button and try again.");
        PopupFooterSpacing();
        if (ImGui::Button("OK", ImVec2(120, 0))) {
            ImGui::CloseCurrentPopup();
        }
        ImGui::EndPopup();
    }

    // 4. Download under way.
    if (isDownloading) {
        ImGui::TextColored(style::yellow, "Downloading frpc.exe, please wait...");
        const std::uint64_t received = downloadReceived.load();
        const std::uint64_t total = downloadTotal.load();
        const std::string progress = reverse_proxy::DownloadProgressText(received, total);
        // Without a length the bar sweeps, so it still shows that bytes keep coming.
        const float fraction = total > 0 ? reverse_proxy::DownloadFraction(received, total)
                                         : static_cast<float>(std::fmod(ImGui::GetTime() * 0.5, 1.0));
        ImGui::ProgressBar(fraction, ImVec2(-80.0f, 0.0f), progress.c_str());
        ImGui::SameLine();
        if (ImGui::Button("Cancel")) {
            CancelFrpcDownload();
        }
        ImGui::Separator();
    }

    const bool busy = ReverseProxyBusy();

    // 5, 6. Connection line.
    const ConnectionStatus status = DisplayedConnectionStatus();
    const style::Look connectionLook = style::ConnectionLook(status);
    ImGui::TextColored(style::labelGrey, "Status: ");
    ImGui::SameLine();
    ImGui::TextColored(connectionLook.colour, "[*] %s", connectionLook.label);
    if (status == ConnectionStatus::Connected) {
        const auto [address, port] = ConnectionSnapshot();
        ImGui::SameLine();
        ImGui::Text(" | Connected to:");
        ImGui::SameLine();
        ImGui::TextColored(style::green, "%s:%d", address.c_str(), port);
        ImGui::SameLine();
        if (ImGui::Button("Copy")) {
            CopyPublicAddress();
        }
        ImGui::SameLine();
        if (ImGui::Button("Help")) {
            showConnectionHelp = true;
        }
        if (hostedMatch == hosting::HostedMatch::Open) {
            ImGui::PushStyleColor(ImGuiCol_Text, style::yellow);
            ImGui::TextWrapped("Anyone with the address can join: set a Match Password in Host Lan and host again.");
            ImGui::PopStyleColor();
        }
    }
    ImGui::Separator();

    // 7. Firewall line.
    const FirewallStatus firewall = firewallStatus.load();
    const style::Look firewallLook = style::FirewallLook(firewall);
    ImGui::Text("Firewall: ");
    ImGui::SameLine();
    ImGui::TextColored(firewallLook.colour, "%s %s", firewallLook.icon, firewallLook.label);
    if (firewall == FirewallStatus::NeedsAdmin || firewall == FirewallStatus::Ready) {
        ImGui::SameLine();
        ImGui::BeginDisabled(busy);
        if (firewall == FirewallStatus::NeedsAdmin) {
            if (ImGui::Button("Create Firewall Rule")) {
                CreateFirewallRuleWithElevation();
            }
            if (ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) {
                ImGui::SetTooltip("Click to create firewall rule with admin privileges (UAC prompt will appear)");
            }
        } else {
            if (ImGui::Button("Remove Firewall Rule")) {
                if (status != ConnectionStatus::Disconnected) {
                    removeRefusedRequested = true;
                } else {
                    RemoveFirewallRuleWithElevation();
                }
            }
            if (ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) {
                ImGui::SetTooltip("Click to remove firewall rule with admin privileges (UAC prompt will appear)");
            }
        }
        ImGui::EndDisabled();
    }
    ImGui::Separator();

    // The direct path through the router, and the one button that picks a way in.
    RenderRouterLine(busy);
    ImGui::Separator();
    ImGui::BeginDisabled(busy);
    if (ImGui::Button("Make Reachable")) {
        MakeReachable();
    }
    ImGui::EndDisabled();
    if (ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) {
        ImGui::SetTooltip("Asks the router to forward the game's port; connects to the best proxy when it cannot");
    }
    ImGui::Separator();

    // 8. Proxy list, drawn from a copy so the list lock is not held while drawing.
    ImGui::Text("Proxy Servers:");
    ImGui::Spacing();
    const std::vector<ProxyServer> servers = ProxyServersSnapshot();
    ImGui::BeginDisabled(busy);
    for (size_t i = 0; i < servers.size(); ++i) {
        const ProxyServer& server = servers[i];
        const std::string id = "##server" + std::to_string(i);
        if (ImGui::Selectable(id.c_str(), server.isConnected)) {
            if (firewallStatus != FirewallStatus::Ready) {
                firewallNotReadyRequested = true;
            } else {
                ConnectToServer(static_cast<std::int32_t>(i));
            }
        }
        ImGui::SameLine();
        ImGui::Text("%s", server.name.c_str());
        ImGui::SameLine();
        LatencyText(server.latency.load());
        if (server.isConnected) {
            ImGui::SameLine();
            ImGui::TextColored(style::green, "[*]");
        }
    }
    ImGui::EndDisabled();

    // 9, 10. Buttons.
    ImGui::Separator();
    if (status != ConnectionStatus::Disconnected) {
        if (ImGui::Button("Disconnect")) {
            DisconnectFromServer();
        }
        if (status == ConnectionStatus::Connected) {
            ImGui::SameLine();
            ImGui::BeginDisabled(busy);
            if (ImGui::Button("Test Reachability")) {
                TestReachability();
            }
            ImGui::EndDisabled();
        }
    } else {
        ImGui::BeginDisabled(busy);
        if (ImGui::Button("Connect to Best Server")) {
            if (firewallStatus != FirewallStatus::Ready) {
                firewallNotReadyRequested = true;
            } else {
                SelectBestServer();
            }
        }
        ImGui::EndDisabled();
    }
    ImGui::SameLine();
    if (ImGui::Button("Setup")) {
        showSetupGuide = true;
    }

    // 11. Status log; it follows new lines only while scrolled to its end.
    ImGui::Separator();
    ImGui::Text("Status Log:");
    ImGui::BeginChild("StatusLog", ImVec2(0, 100), true, ImGuiWindowFlags_HorizontalScrollbar);
    {
        std::lock_guard<std::mutex> lock(statusLogMutex);
        for (const StatusLogEntry& entry : statusLog) {
            ImGui::TextColored(style::LogLevelColour(entry.level), "[%s] %s", entry.timestamp.c_str(),
                               entry.message.c_str());
        }
    }
    if (ImGui::GetScrollY() >= ImGui::GetScrollMaxY()) {
        ImGui::SetScrollHereY(1.0f);
    }
    ImGui::EndChild();
}
