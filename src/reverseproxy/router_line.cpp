// The panel's "Router:" line: what the router said, its buttons, and a warning beside a
// working mapping while the firewall rule that lets its traffic reach the game is missing.
#include <imgui.h>

#include "plugin/matchbay.h"
#include "reverseproxy/panel_style.h"

namespace style = reverse_proxy::style;

void matchbay::RenderRouterLine(bool busy)
{
    const reverse_proxy::RouterLine router = RouterSnapshot();
    const style::Look look = style::RouterLook(router.state);
    ImGui::Text("Router: ");
    ImGui::SameLine();
    // Wrapped: the reasons are long, and a player must read them whole.
    ImGui::PushStyleColor(ImGuiCol_Text, look.colour);
    ImGui::TextWrapped("%s %s", look.icon, router.text.c_str());
    ImGui::PopStyleColor();
    const bool mapped = router.state == reverse_proxy::RouterState::Mapped;
    if (mapped && firewallStatus != FirewallStatus::Ready) {
        ImGui::PushStyleColor(ImGuiCol_Text, style::yellow);
        ImGui::TextWrapped("[!] The Windows Firewall rule is missing: the game does not get these players");
        ImGui::PopStyleColor();
    }
    ImGui::BeginDisabled(busy);
    if (mapped) {
        if (ImGui::Button("Close Router Port")) {
            CloseRouterPort();
        }
    } else if (ImGui::Button("Open Router Port")) {
        OpenRouterPort();
    }
    ImGui::EndDisabled();
    if (mapped) {
        ImGui::SameLine();
        // Its own scope: the tunnel's address has a "Copy" of its own.
        ImGui::PushID("Router");
        if (ImGui::Button("Copy")) {
            CopyDirectAddress();
        }
        ImGui::PopID();
    }
}
