#pragma once
// Id paths: a readable name for any Dear ImGui item, resolved to the ImGuiID its widget computes.
//
// Syntax:  <window>/<segment>/.../<item>
//   - Segments are separated by '/'. Inside a segment "\/" is a literal slash, "\\" a backslash and a leading
//     "\@" a literal '@'. Empty segments are errors.
//   - The first segment is a window's name exactly as passed to Begin ("Kestrel - V1.2.0", "Reverse Proxy"),
//     or a popup's window name ("##Combo_00" for the drop-down of a combo at popup depth 0).
//   - Each further segment is one string id that the drawing code puts between the window and the item, in
//     order: a tab bar ("Tabs"), a tab ("Host Lan"), a tree node or header, a child region
//     ("#MutatorsSettings") or a PushID(string); the last one is the item's own label or hidden id
//     ("##GameModeSelection"). A window's close button is "#CLOSE", its collapse button "#COLLAPSE".
//   - "@<n>" (n a decimal int, may be negative) stands for PushID(n), as list widgets do to keep repeated labels
//     apart: "##Combo_00/@30/Beckwith Park".
//   - A segment naming a child region of the window reached so far continues inside that child window. This is
//     recognised through the current context, so a child region resolves once it has been drawn.
//   Labels are hashed as ImGui hashes them, so "###" inside a label behaves as in ImGui.
// Examples: "Kestrel - V1.2.0/Tabs/Host Lan", "Reverse Proxy/#CLOSE",
//           "Kestrel - V1.2.0/Tabs/Host Lan/#MutatorsSettings/##Free Play".
//
// Uses only the ImGui library itself (no test-engine hooks): ImGui::ActivateItem(ResolveIdPath(p)->id) presses
// the item on the next frame without a mouse.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <imgui.h>

struct ImGuiWindow;

namespace kestrel::ui {

struct IdPathSegment {
    std::string text;           // unescaped; used when number is empty
    std::optional<int> number;  // "@<n>"
};

struct ResolvedIdPath {
    ImGuiID id = 0;                 // the item's id (the window's own id for a one-segment path)
    ImGuiID seed = 0;               // the id the item's label was hashed with
    std::string windowName;         // the window holding the item: the top window or the deepest child reached
    ImGuiWindow* window = nullptr;  // that window when it exists in the current context
};

// nullopt for an empty path, an empty segment, a dangling '\' or a malformed "@<n>".
std::optional<std::vector<IdPathSegment>> ParseIdPath(std::string_view path);

// A string segment with '/', '\\' and a leading '@' escaped.
std::string EscapeIdPathSegment(std::string_view segment);

// The path naming these string segments, each escaped (so "@1" here is the string "@1", not PushID(1)).
std::string JoinIdPath(const std::vector<std::string>& segments);

// Resolves against the current ImGui context (child regions, window lookup); works without one too, treating
// every segment as a plain id.
std::optional<ResolvedIdPath> ResolveIdPath(std::string_view path);

}  // namespace kestrel::ui
