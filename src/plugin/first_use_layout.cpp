#include "plugin/first_use_layout.h"

#include <algorithm>

namespace plugin_layout {

namespace {
constexpr float kGap = 10;
// Below this the menu window is no use; on such a screen it may run past the bottom.
constexpr float kShortestMenu = 300;
} // namespace

FirstUseLayout ComputeFirstUseLayout(ImVec2 origin, ImVec2 area)
{
    FirstUseLayout layout;
    layout.lobbyList = {ImVec2(origin.x + kGap, origin.y + kGap), lobbyListSize};
    const float menuTop = layout.lobbyList.pos.y + lobbyListSize.y + kGap;
    const float roomBelow = origin.y + area.y - kGap - menuTop;
    layout.menu = {ImVec2(origin.x + kGap, menuTop), ImVec2(menuSize.x, std::clamp(roomBelow, kShortestMenu, menuSize.y))};
    layout.reverseProxy = {ImVec2(layout.lobbyList.pos.x + lobbyListSize.x + kGap, origin.y + kGap), reverseProxySize};
    return layout;
}

FirstUseLayout CurrentFirstUseLayout()
{
    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    return ComputeFirstUseLayout(viewport->WorkPos, viewport->WorkSize);
}

} // namespace plugin_layout
