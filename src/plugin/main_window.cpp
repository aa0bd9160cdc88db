// The content of the menu window: the lobby list window, the tab bar and the reverse
// proxy window that accompanies the Host Lan tab.
#include <imgui.h>

#include <mutex>

#include "plugin/first_use_layout.h"
#include "plugin/matchbay.h"

void matchbay::RenderContent()
{
    const plugin_layout::FirstUseLayout layout = plugin_layout::CurrentFirstUseLayout();
    ImGui::SetNextWindowPos(layout.lobbyList.pos, ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(plugin_layout::lobbyListSize, ImGuiCond_Always);
    ImGui::Begin("Active Server List", nullptr, ImGuiWindowFlags_None);
    RenderLobbyBrowser();
    ImGui::End();

    bool hostLanDrawn = false;
    // The three tabs that configure a match hold matchSetupMutex: a console command may load a setup meanwhile.
    if (ImGui::BeginTabBar("Tabs", ImGuiTabBarFlags_None)) {
        if (ImGui::BeginTabItem("Kestrel")) {
            std::lock_guard<std::mutex> setupLock(matchSetupMutex);
            RenderKestrelTab();
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("RLBot Host")) {
            RenderRLBotHostTab();
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Host Lan")) {
            std::lock_guard<std::mutex> setupLock(matchSetupMutex);
            RenderLanHostTab();
            hostLanDrawn = true;
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Rocket League")) {
            std::lock_guard<std::mutex> setupLock(matchSetupMutex);
            RenderRocketLeagueTab();
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Tournament")) {
            ImGui::Text("WIP Coming back soon.");
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Workshop Downloader")) {
            ImGui::Text("WIP Coming back soon.");
            ImGui::EndTabItem();
        }
        ImGui::EndTabBar();
    }

    if (hostLanDrawn) {
        ImGui::SetNextWindowPos(layout.reverseProxy.pos, ImGuiCond_FirstUseEver);
        ImGui::SetNextWindowSize(plugin_layout::reverseProxySize, ImGuiCond_FirstUseEver);
        // Reopened every frame: the panel belongs to the tab, not to its close button.
        bool reverseProxyOpen = true;
        if (ImGui::Begin("Reverse Proxy", &reverseProxyOpen, ImGuiWindowFlags_None)) {
            RenderReverseProxyPanel();
            RenderReverseProxySetupGuide();
            RenderReverseProxyConnectionHelp();
        }
        ImGui::End();
    }
}
