#pragma once
// Where the plugin's three windows first open: side by side on the screen, so a new user
// sees the lobby list, the tabs and the reverse proxy panel without moving any of them.
// Only first-use positions (and the menu window's first height) are set; whatever the user
// does later is kept by the UI library's own settings.
#include <imgui.h>

namespace plugin_layout {

struct WindowPlace {
    ImVec2 pos;
    ImVec2 size;
};

inline const ImVec2 lobbyListSize{800, 300};    // applied every frame
inline const ImVec2 reverseProxySize{450, 500}; // first use only
inline const ImVec2 menuSize{800, 600};         // first use only, shortened to fit the screen

struct FirstUseLayout {
    WindowPlace lobbyList;
    WindowPlace menu;
    WindowPlace reverseProxy;
};

// The places for a screen area starting at origin with the given size.
FirstUseLayout ComputeFirstUseLayout(ImVec2 origin, ImVec2 area);
// The same for the current main viewport's work area.
FirstUseLayout CurrentFirstUseLayout();

} // namespace plugin_layout
