// The "Join Address" line at the foot of the "Active Server List" window: an address field,
// the recent addresses beside it, the button and its status. The window's "Password" applies.
#include <imgui.h>
#include <imgui_stdlib.h>

#include "plugin/matchbay.h"

namespace {

const ImVec4 kRefusedColour(1.0f, 0.4f, 0.4f, 1.0f);
const ImVec4 kJoiningColour(0.4f, 1.0f, 0.4f, 1.0f);

} // namespace

void matchbay::RenderJoinAddress()
{
    ImGui::SetNextItemWidth(150);
    ImGui::InputTextWithHint("##JoinAddress", "address:port", &joinAddressText);
    ImGui::SameLine(0, 0);
    const std::vector<std::string> recent = RecentAddressesSnapshot();
    ImGui::BeginDisabled(recent.empty());
    if (ImGui::BeginCombo("##RecentAddresses", nullptr, ImGuiComboFlags_NoPreview | ImGuiComboFlags_PopupAlignLeft)) {
        for (const std::string& address : recent) {
            if (ImGui::Selectable(address.c_str(), address == joinAddressText)) joinAddressText = address;
        }
        ImGui::EndCombo();
    }
    ImGui::EndDisabled();
    if (ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) ImGui::SetTooltip("Recent addresses");
    ImGui::SameLine();
    if (ImGui::Button("Join Address")) JoinAddress(joinAddressText, lobbyPassword);
    const JoinStatus status = JoinAddressStatus();
    if (!status.text.empty()) {
        ImGui::SameLine();
        ImGui::TextColored(status.refused ? kRefusedColour : kJoiningColour, "%s", status.text.c_str());
    }
}
