#pragma once
// Reading back the text a Dear ImGui frame drew. Draw lists hold text only as glyph quads; a quad's texture
// coordinates name its glyph in the font atlas, so the characters come back from the draw data alone, whichever
// copy of ImGui built it. Header-only: the UI driver and the development host each compile it against their own
// ImGui copy.
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include <imgui.h>

namespace kestrel::ui {

// One run of text as drawn: consecutive glyphs on one line, words separated by single-space-width gaps.
struct DrawnText {
    std::string window;  // the window whose draw list holds it
    std::string text;
    ImVec2 pos;          // left end of the line, top
};

// True for the window itself and for its child regions ("<window>/<child>_<id>").
inline bool InWindow(std::string_view window, std::string_view name)
{
    if (window.size() < name.size() || window.compare(0, name.size(), name) != 0) return false;
    return window.size() == name.size() || window[name.size()] == '/';
}

namespace detail {

inline void AppendUtf8(std::string& out, unsigned int c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

class GlyphReader {
public:
    explicit GlyphReader(const ImFont& font) : spaceAdvance(font.FallbackAdvanceX)
    {
        for (const ImFontGlyph& glyph : font.Glyphs) {
            if (glyph.Visible) glyphs.push_back(&glyph);
        }
        if (const ImFontGlyph* space = font.FindGlyphNoFallback(' ')) spaceAdvance = space->AdvanceX;
    }

    const ImFontGlyph* at(ImVec2 uv) const
    {
        for (const ImFontGlyph* glyph : glyphs) {
            if (uv.x > glyph->U0 && uv.x < glyph->U1 && uv.y > glyph->V0 && uv.y < glyph->V1) return glyph;
        }
        return nullptr;
    }

    void read(const ImDrawList& list, std::vector<DrawnText>& out) const
    {
        const std::string owner = list._OwnerName ? list._OwnerName : "";
        bool open = false;
        DrawnText run;
        float penEnd = 0.0f;
        const auto flush = [&] {
            if (open && !run.text.empty()) out.push_back(run);
            open = false;
        };
        for (const ImDrawCmd& cmd : list.CmdBuffer) {
            if (cmd.UserCallback != nullptr) continue;
            const ImDrawIdx* idx = list.IdxBuffer.Data + cmd.IdxOffset;
            const ImDrawVert* vtx = list.VtxBuffer.Data + cmd.VtxOffset;
            for (unsigned int i = 0; i + 3 <= cmd.ElemCount;) {
                if (i + 6 <= cmd.ElemCount) {
                    const unsigned int a = idx[i];
                    if (idx[i + 1] == a + 1 && idx[i + 2] == a + 2 && idx[i + 3] == a && idx[i + 4] == a + 2 &&
                        idx[i + 5] == a + 3) {
                        const ImDrawVert& topLeft = vtx[a];
                        const ImDrawVert& bottomRight = vtx[a + 2];
                        const ImVec2 uv((topLeft.uv.x + bottomRight.uv.x) * 0.5f, (topLeft.uv.y + bottomRight.uv.y) * 0.5f);
                        const bool visible = topLeft.pos.x < cmd.ClipRect.z && bottomRight.pos.x > cmd.ClipRect.x &&
                                             topLeft.pos.y < cmd.ClipRect.w && bottomRight.pos.y > cmd.ClipRect.y;
                        if (const ImFontGlyph* glyph = visible ? at(uv) : nullptr) {
                            const float pen = topLeft.pos.x - glyph->X0;
                            const float top = topLeft.pos.y - glyph->Y0;
                            const float gap = pen - penEnd;
                            const bool sameRun = open && std::fabs(top - run.pos.y) < 1.0f && gap > -1.0f &&
                                                 gap < 2.5f * spaceAdvance;
                            if (!sameRun) {
                                flush();
                                run = DrawnText{owner, {}, ImVec2(pen, top)};
                                open = true;
                            } else {
                                for (int s = static_cast<int>(std::lround(gap / spaceAdvance)); s > 0; --s) run.text += ' ';
                            }
                            AppendUtf8(run.text, glyph->Codepoint);
                            penEnd = pen + glyph->AdvanceX;
                        }
                        i += 6;
                        continue;
                    }
                }
                i += 3;
            }
        }
        flush();
    }

private:
    std::vector<const ImFontGlyph*> glyphs;
    float spaceAdvance;
};

}  // namespace detail

// Every run of text in the draw data, in drawing order. Only glyphs of font are recognised.
inline std::vector<DrawnText> ReadDrawnText(const ImDrawData& data, const ImFont& font)
{
    std::vector<DrawnText> runs;
    if (!data.Valid) return runs;
    const detail::GlyphReader reader(font);
    for (int i = 0; i < data.CmdListsCount; ++i) reader.read(*data.CmdLists[i], runs);
    return runs;
}

// Runs that share a line on screen, top to bottom and left to right, joined with " | ": a table row or a label
// with its button reads as one line. Columns are drawn one after the other, so drawing order alone would not.
inline std::vector<std::string> JoinTextLines(std::vector<DrawnText> runs)
{
    std::stable_sort(runs.begin(), runs.end(), [](const DrawnText& a, const DrawnText& b) { return a.pos.y < b.pos.y; });
    std::vector<std::string> lines;
    for (std::size_t first = 0; first < runs.size();) {
        std::size_t end = first + 1;
        while (end < runs.size() && runs[end].pos.y - runs[first].pos.y < 1.0f) ++end;
        std::stable_sort(runs.begin() + static_cast<std::ptrdiff_t>(first), runs.begin() + static_cast<std::ptrdiff_t>(end),
                         [](const DrawnText& a, const DrawnText& b) { return a.pos.x < b.pos.x; });
        std::string line;
        for (std::size_t i = first; i < end; ++i) line += (i > first ? " | " : "") + runs[i].text;
        lines.push_back(std::move(line));
        first = end;
    }
    return lines;
}

}  // namespace kestrel::ui
