#include "ui_scroll.h"

#include <algorithm>

namespace kestrel::ui {

std::optional<ImRect> DrawnFocusRect(ImGuiID id)
{
    const ImGuiContext& g = *GImGui;
    if (id == 0 || g.NavId != id || !g.NavIdIsAlive || !g.NavWindow) return std::nullopt;
    const ImRect relative = g.NavWindow->NavRectRel[g.NavLayer];
    const ImVec2 origin = g.NavWindow->Pos;
    return ImRect(relative.Min.x + origin.x, relative.Min.y + origin.y, relative.Max.x + origin.x, relative.Max.y + origin.y);
}

bool FullyVisible(const ImGuiWindow* window, const ImRect& rect)
{
    // The clip rectangle of a child region is already cut to what its parents show.
    const ImRect& shown = window->InnerClipRect;
    return rect.Min.y >= shown.Min.y && rect.Max.y <= shown.Max.y && rect.Min.x >= shown.Min.x && rect.Max.x <= shown.Max.x;
}

void ScrollIntoView(ImGuiWindow* window, const ImRect& rect) { ImGui::ScrollToRectEx(window, rect, ImGuiScrollFlags_None); }

bool ScrollToSlice(ImGuiWindow* window, int slice)
{
    if (slice < 0) return false;
    const float least = ImGui::GetFrameHeight();
    if (window->ScrollMax.y > 0.0f) {
        // The window scrolls itself: walk its own scroll range, and keep the window on screen in its parents.
        const float step = std::max(window->InnerRect.GetHeight() * 0.75f, least);
        const float target = static_cast<float>(slice) * step;
        if (slice > 0 && target >= window->ScrollMax.y + step) return false;
        ImGui::SetScrollY(window, std::min(target, window->ScrollMax.y));
        if ((window->Flags & ImGuiWindowFlags_ChildWindow) && window->ParentWindow)
            ScrollIntoView(window->ParentWindow, window->Rect());
        return true;
    }
    if (!(window->Flags & ImGuiWindowFlags_ChildWindow) || !window->ParentWindow) return slice == 0;
    // A region as tall as its content, scrolled by its parent: show it a part at a time.
    const ImGuiWindow* parent = window->ParentWindow;
    const float step = std::max(parent->InnerRect.GetHeight() * 0.75f, least);
    const float top = window->Pos.y + static_cast<float>(slice) * step;
    const float bottom = window->Pos.y + window->Size.y;
    if (top >= bottom) return false;
    const ImRect part(ImVec2(window->Pos.x, top), ImVec2(window->Pos.x + 1.0f, std::min(top + step, bottom)));
    ScrollIntoView(window->ParentWindow, part);
    return true;
}

} // namespace kestrel::ui
