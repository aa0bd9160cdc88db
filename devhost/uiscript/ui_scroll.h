#pragma once
// Scrolling an item into view the way a person reaches it: every window around it scrolls, not only the
// one it is drawn in. Items outside the visible part of a window are skipped by ImGui, and rows a list
// clipper leaves out are not drawn at all, so a script must scroll before it can press them.
#include <optional>

#include <imgui.h>
#include <imgui_internal.h>

namespace kestrel::ui {

// Where the item holding the navigation focus was drawn in the last frame (screen coordinates); nullopt when
// it is not id or was not drawn. ImGui::SetFocusID(id, window) a frame earlier makes an item that focus, and
// ImGui then lays it out even where it is scrolled out of view.
std::optional<ImRect> DrawnFocusRect(ImGuiID id);

// Whether rect lies wholly inside the part of window that is on screen.
bool FullyVisible(const ImGuiWindow* window, const ImRect& rect);

// Scrolls window and each window around it so rect is on screen from the next frame on.
void ScrollIntoView(ImGuiWindow* window, const ImRect& rect);

// For an item that is not drawn where the window is scrolled now: brings part number slice (0 from the top)
// of the window's content on screen, each part a little less than what fits. False when there is no such
// part, so every part has been shown once.
bool ScrollToSlice(ImGuiWindow* window, int slice);

} // namespace kestrel::ui
