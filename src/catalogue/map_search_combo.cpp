#define IMGUI_DEFINE_MATH_OPERATORS  // ImVec2 arithmetic from imgui_internal.h
#include "catalogue/map_search_combo.h"

#include <imgui.h>
#include <imgui_internal.h>

#include "catalogue/map_search.h"

namespace catalogue {
namespace {

// The layout cursor after an item: drawing a second widget over the first must not move the next row.
struct CursorState {
    ImVec2 pos, prevLinePos, maxPos, currLineSize, prevLineSize;
    float currLineTextBaseOffset = 0.0f, prevLineTextBaseOffset = 0.0f;

    static CursorState Save(const ImGuiWindow& window)
    {
        const ImGuiWindowTempData& dc = window.DC;
        return {dc.CursorPos, dc.CursorPosPrevLine, dc.CursorMaxPos, dc.CurrLineSize, dc.PrevLineSize,
                dc.CurrLineTextBaseOffset, dc.PrevLineTextBaseOffset};
    }
    void Restore(ImGuiWindow& window) const
    {
        ImGuiWindowTempData& dc = window.DC;
        dc.CursorPos = pos;
        dc.CursorPosPrevLine = prevLinePos;
        dc.CursorMaxPos = maxPos;
        dc.CurrLineSize = currLineSize;
        dc.PrevLineSize = prevLineSize;
        dc.CurrLineTextBaseOffset = currLineTextBaseOffset;
        dc.PrevLineTextBaseOffset = prevLineTextBaseOffset;
    }
};

}  // namespace

bool BeginSearchCombo(const char* id, const char* preview, char* searchBuffer, int searchBufferSize)
{
    ImGuiContext& g = *GImGui;
    ImGuiWindow* window = ImGui::GetCurrentWindow();
    const ImGuiNextWindowDataFlags nextWindowFlags = g.NextWindowData.Flags;
    g.NextWindowData.ClearFlags();  // like Begin, the frame consumes them; the popup gets them back
    if (window->SkipItems) return false;

    const ImGuiStyle& style = g.Style;
    // The field shares the combo's id, as a slider's Ctrl+click field does: one item, two faces.
    const ImGuiID comboId = window->GetID(id);
    const float arrowSize = ImGui::GetFrameHeight();
    const ImVec2 labelSize = ImGui::CalcTextSize(id, nullptr, true);
    const float width = ImGui::CalcItemWidth();
    const ImRect frame(window->DC.CursorPos,
                       window->DC.CursorPos + ImVec2(width, labelSize.y + style.FramePadding.y * 2.0f));
    const ImRect total(frame.Min,
                       frame.Max + ImVec2(labelSize.x > 0.0f ? style.ItemInnerSpacing.x + labelSize.x : 0.0f, 0.0f));
    ImGui::ItemSize(total, style.FramePadding.y);
    if (!ImGui::ItemAdd(total, comboId, &frame)) return false;
    const CursorState afterCombo = CursorState::Save(*window);

    const ImGuiID popupId = ImHashStr("##ComboPopup", 0, comboId);
    bool popupOpen = ImGui::IsPopupOpen(popupId, ImGuiPopupFlags_None);
    const bool fieldActive = ImGui::TempInputIsActive(comboId);

    // A click on an entry takes the focus from the field before the click completes. Without the field's last
    // text the list would unfilter under the mouse and the release would land on another entry. Only that
    // click keeps the search: Escape, Tab or a gamepad opening end it, and the whole list shows again.
    const bool clickInProgress = g.IO.MouseDown[0] || g.IO.MouseReleased[0];
    if (popupOpen && !fieldActive && clickInProgress && searchBuffer[0] == 0) {
        if (const ImGuiInputTextState* state = ImGui::GetInputTextState(comboId); state && state->TextAIsValid) {
            ImStrncpy(searchBuffer, state->TextA.Data, static_cast<size_t>(searchBufferSize));
        }
    }

    bool hovered = false;
    bool held = false;
    bool pressed = false;
    if (!fieldActive) {
        // Opening on the press lets the same click place the text cursor in the field.
        pressed = ImGui::ButtonBehavior(frame, comboId, &hovered, &held, ImGuiButtonFlags_PressedOnClick);
    }
    if (pressed && !popupOpen) {
        ImGui::OpenPopupEx(popupId, ImGuiPopupFlags_None);
        popupOpen = true;
    }

    const bool showField = popupOpen || pressed || fieldActive;
    const float valueX2 = ImMax(frame.Min.x, frame.Max.x - arrowSize);
    if (showField) {
        if (!fieldActive && g.ActiveId == comboId) ImGui::ClearActiveID();  // let the field take the press
        window->DC.CursorPos = frame.Min;
        ImGui::InputTextEx(id, "Search...", searchBuffer, searchBufferSize, frame.GetSize(),
                           static_cast<int>(ImGuiInputTextFlags_NoUndoRedo) | static_cast<int>(ImGuiInputTextFlags_MergedItem));
        afterCombo.Restore(*window);
        if (g.ActiveId == comboId) {
            g.TempInputId = comboId;
            // The drop-down takes the window focus when it appears; the field must keep the keyboard.
            g.ActiveIdNoClearOnFocusLoss = true;
        }
    } else {
        const ImU32 frameColour = ImGui::GetColorU32(hovered ? ImGuiCol_FrameBgHovered : ImGuiCol_FrameBg);
        ImGui::RenderNavHighlight(frame, comboId);
        window->DrawList->AddRectFilled(frame.Min, ImVec2(valueX2, frame.Max.y), frameColour, style.FrameRounding,
                                        ImDrawFlags_RoundCornersLeft);
    }

    const ImU32 arrowBackground = ImGui::GetColorU32((popupOpen || hovered) ? ImGuiCol_ButtonHovered : ImGuiCol_Button);
    window->DrawList->AddRectFilled(ImVec2(valueX2, frame.Min.y), frame.Max, arrowBackground, style.FrameRounding,
                                    (width <= arrowSize) ? ImDrawFlags_RoundCornersAll : ImDrawFlags_RoundCornersRight);
    if (valueX2 + arrowSize - style.FramePadding.x <= frame.Max.x) {
        ImGui::RenderArrow(window->DrawList, ImVec2(valueX2 + style.FramePadding.y, frame.Min.y + style.FramePadding.y),
                           ImGui::GetColorU32(ImGuiCol_Text), ImGuiDir_Down, 1.0f);
    }
    ImGui::RenderFrameBorder(frame.Min, frame.Max, style.FrameRounding);

    // The field draws the visible part of the id itself.
    if (!showField) {
        if (preview != nullptr) {
            ImGui::RenderTextClipped(frame.Min + style.FramePadding, ImVec2(valueX2, frame.Max.y), preview, nullptr, nullptr);
        }
        if (labelSize.x > 0.0f) {
            ImGui::RenderText(ImVec2(frame.Max.x + style.ItemInnerSpacing.x, frame.Min.y + style.FramePadding.y), id);
        }
    }

    if (!popupOpen) return false;
    g.NextWindowData.Flags = nextWindowFlags;
    return ImGui::BeginComboPopup(popupId, frame, ImGuiComboFlags_None);
}

bool MapSearchCombo(const std::string& id, std::int32_t& selectedIndex, const std::vector<std::string>& names)
{
    ClampMapIndex(selectedIndex, names.size());
    const std::string preview = MapPreview(selectedIndex, names);

    char searchBuffer[mapSearchBufferSize] = {};
    if (!BeginSearchCombo(id.c_str(), preview.c_str(), searchBuffer, static_cast<int>(sizeof searchBuffer))) {
        return false;
    }
    const std::string_view search = SearchText(searchBuffer, sizeof searchBuffer);

    bool chosen = false;
    bool anyShown = false;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!MapNameMatches(search, names[i])) continue;
        anyShown = true;
        const int position = static_cast<int>(i);
        const bool selected = position == selectedIndex;
        // Names repeat ("Beckwith Park"): the position keeps their ids apart.
        ImGui::PushID(position);
        if (ImGui::Selectable(names[i].c_str(), selected)) {
            selectedIndex = position;
            chosen = true;
        }
        if (selected) ImGui::SetItemDefaultFocus();
        ImGui::PopID();
    }
    if (!anyShown) ImGui::Selectable("No maps found", false, ImGuiSelectableFlags_Disabled);
    ImGui::EndCombo();
    return chosen;
}

}  // namespace catalogue
