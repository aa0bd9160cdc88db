// The setup guide and the connection help windows of the reverse proxy panel.
#include <imgui.h>

#include "plugin/matchbay.h"
#include "reverseproxy/panel_style.h"

namespace style = reverse_proxy::style;

namespace {

void BeginCentredWindowAt(ImVec2 size)
{
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowSize(size, ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y * 0.5f), ImGuiCond_FirstUseEver, ImVec2(0.5f, 0.5f));
}

void Heading(const char* text)
{
    ImGui::TextColored(style::lightBlue, "%s", text);
    ImGui::Separator();
    ImGui::Spacing();
}

void Step(const char* title, const char* text)
{
    ImGui::TextColored(style::yellow, "%s", title);
    ImGui::TextWrapped("%s", text);
    ImGui::Spacing();
}

} // namespace

void matchbay::RenderReverseProxySetupGuide()
{
    if (!showSetupGuide) {
        return;
    }
    BeginCentredWindowAt(ImVec2(600, 500));
    if (ImGui::Begin("Reverse Proxy Setup Guide", &showSetupGuide, ImGuiWindowFlags_NoCollapse)) {
        Heading("What is Reverse Proxy?");
        ImGui::TextWrapped(
            "The Reverse Proxy feature allows you to host Rocket League servers that are accessible from anywhere on "
            "the internet, without needing to configure port forwarding on your router. It tunnels your local server "
            "through a remote proxy server, making it publicly accessible.");
        ImGui::Spacing();

        Heading("How Does It Work?");
        ImGui::BulletText("Creates a secure tunnel from your local Rocket League server to a remote proxy");
        ImGui::BulletText("Automatically manages Windows Firewall rules for the required ports");
        ImGui::BulletText("Pings available proxy servers to find the best connection");
        ImGui::BulletText("Provides a public address that players can use to connect to your server");
        ImGui::Spacing();

        Heading("Setup Guide");
        Step("Step 1: Firewall Configuration",
             "The application needs to create a Windows Firewall rule to allow inbound connections. If you see a "
             "firewall warning, run the application as Administrator or click the 'Create Rule (Admin)' button to "
             "create it with elevated privileges.");
        Step("Step 2: Select Proxy Server",
             "Choose a proxy server from the list. The application automatically pings each server and displays the "
             "latency. Select a server with low ping for the best performance, or use 'Auto-Select Best' to "
             "automatically choose the fastest server.");
        Step("Step 3: Connect to Proxy",
             "Click 'Connect' to establish the tunnel. The FRP client will be downloaded automatically if it's not "
             "already present. Once connected, you'll see the public address that players can use to join your "
             "server.");
        Step("Step 4: Share Your Server",
             "Copy the displayed public address (IP:Port) and share it with players. They can use this address to "
             "connect to your server from anywhere on the internet.");

        Heading("Tips");
        ImGui::BulletText("Always choose a proxy server close to your location for best performance");
        ImGui::BulletText("Check the Status Log for connection details and troubleshooting information");
        ImGui::BulletText("You can disconnect and reconnect to different proxy servers at any time");
        ImGui::BulletText("The firewall rule only needs to be created once and will persist");
        ImGui::Spacing();

        if (ImGui::Button("Close", ImVec2(120, 0))) {
            showSetupGuide = false;
        }
    }
    ImGui::End();
}

void matchbay::RenderReverseProxyConnectionHelp()
{
    if (!showConnectionHelp) {
        return;
    }
    BeginCentredWindowAt(ImVec2(550, 400));
    if (ImGui::Begin("Reverse Proxy Connection Help", &showConnectionHelp, ImGuiWindowFlags_NoCollapse)) {
        const auto [address, port] = ConnectionSnapshot();
        ImGui::TextColored(style::green, "Connection Successful!");
        ImGui::TextWrapped("You're now successfully connected to a reverse proxy server. Your local Rocket League "
                           "server is now accessible from anywhere on the internet!");
        ImGui::Spacing();

        Heading("Current Connection:");
        ImGui::Text("Public IP Address:");
        ImGui::SameLine();
        ImGui::TextColored(style::green, "%s", address.c_str());
        ImGui::Text("Public Port:");
        ImGui::SameLine();
        ImGui::TextColored(style::green, "%d", port);
        if (!address.empty()) {
            if (ImGui::Button("Copy")) {
                CopyPublicAddress();
            }
            ImGui::SameLine();
            ImGui::BeginDisabled(ReverseProxyBusy() || connectionStatus != ConnectionStatus::Connected);
            if (ImGui::Button("Test Reachability")) {
                TestReachability();
            }
            ImGui::EndDisabled();
        }
        ImGui::Spacing();

        Heading("Next Steps:");
        Step("Step 1: Configure Your Server", "Go to the Kestrel GUI and navigate to the 'Host Lan' tab.");
        Step("Step 2: Select Your Settings", "Pick your desired game mode, map, and mutator settings.");
        Step("Step 3: Host the Server", "Click the 'Host Lan' button to start your server.");
        ImGui::TextColored(style::yellow, "%s", "Step 4: Share Connection Details");
        ImGui::TextWrapped("Give players the following connection information to join on Rocket Plugin:");
        ImGui::BulletText("IP Address: %s", address.c_str());
        ImGui::BulletText("Port: %d", port);
        // "->", not an arrow sign: the host's default font has no glyph for one.
        ImGui::TextWrapped("Players with Kestrel: Active Server List -> Join Address, paste the address.");
        ImGui::Spacing();

        if (ImGui::Button("Close", ImVec2(120, 0))) {
            showConnectionHelp = false;
        }
    }
    ImGui::End();
}
