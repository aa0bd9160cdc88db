#include "ui_path.h"

#include <charconv>

#include <imgui_internal.h>

namespace kestrel::ui {

std::optional<std::vector<IdPathSegment>> ParseIdPath(std::string_view path)
{
    std::vector<IdPathSegment> segments;
    std::string text;
    bool literalAt = false;
    const auto finish = [&]() -> bool {
        if (text.empty()) return false;
        IdPathSegment segment;
        if (!literalAt && text.front() == '@') {
            int value = 0;
            const char* first = text.data() + 1;
            const char* last = text.data() + text.size();
            const auto [end, error] = std::from_chars(first, last, value);
            if (first == last || error != std::errc() || end != last) return false;
            segment.number = value;
        }
        segment.text = std::move(text);
        segments.push_back(std::move(segment));
        text.clear();
        literalAt = false;
        return true;
    };
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '\\') {
            if (++i == path.size()) return std::nullopt;
            const char escaped = path[i];
            if (escaped != '/' && escaped != '\\' && escaped != '@') return std::nullopt;
            if (escaped == '@' && text.empty()) literalAt = true;
            text += escaped;
        } else if (c == '/') {
            if (!finish()) return std::nullopt;
        } else {
            text += c;
        }
    }
    if (!finish()) return std::nullopt;
    return segments;
}

std::string EscapeIdPathSegment(std::string_view segment)
{
    std::string escaped;
    for (std::size_t i = 0; i < segment.size(); ++i) {
        const char c = segment[i];
        if (c == '/' || c == '\\' || (c == '@' && i == 0)) escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string JoinIdPath(const std::vector<std::string>& segments)
{
    std::string path;
    for (const std::string& segment : segments) {
        if (!path.empty()) path += '/';
        path += EscapeIdPathSegment(segment);
    }
    return path;
}

namespace {

ImGuiID HashSegment(const IdPathSegment& segment, ImGuiID seed)
{
    if (segment.number) {
        const int value = *segment.number;
        return ImHashData(&value, sizeof value, seed);
    }
    return ImHashStr(segment.text.c_str(), 0, seed);
}

}  // namespace

std::optional<ResolvedIdPath> ResolveIdPath(std::string_view path)
{
    const std::optional<std::vector<IdPathSegment>> segments = ParseIdPath(path);
    if (!segments) return std::nullopt;
    const bool haveContext = ImGui::GetCurrentContext() != nullptr;

    ResolvedIdPath resolved;
    const IdPathSegment& windowSegment = segments->front();
    resolved.windowName = windowSegment.text;
    resolved.id = ImHashStr(windowSegment.text.c_str(), 0, 0);
    resolved.window = haveContext ? ImGui::FindWindowByName(windowSegment.text.c_str()) : nullptr;

    ImGuiID seed = resolved.id;
    for (std::size_t i = 1; i < segments->size(); ++i) {
        const IdPathSegment& segment = (*segments)[i];
        const ImGuiID id = HashSegment(segment, seed);
        const bool last = i + 1 == segments->size();
        if (!last && haveContext && !segment.number) {
            // BeginChild names its window "<parent>/<id>_<hash>"; items inside are seeded by that window.
            char childName[1024 * 3 + 1]; // the size of ImGui's own buffer for these names, truncation included
            ImFormatString(childName, sizeof childName, "%s/%s_%08X", resolved.windowName.c_str(), segment.text.c_str(), id);
            if (ImGuiWindow* child = ImGui::FindWindowByName(childName)) {
                resolved.windowName = childName;
                resolved.window = child;
                seed = child->ID;
                continue;
            }
        }
        if (last) {
            resolved.seed = seed;
            resolved.id = id;
        }
        seed = id;
    }
    if (segments->size() == 1) resolved.seed = 0;
    return resolved;
}

}  // namespace kestrel::ui
