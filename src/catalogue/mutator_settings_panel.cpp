#include "catalogue/mutator_settings_panel.h"

#include <cstddef>
#include <vector>

#include <imgui.h>

namespace catalogue {

std::string MutatorRowLabel(const MutatorCategory& category) { return category.label + ":"; }

namespace {

// The row texts never change and their widths only change with the font, so neither is rebuilt per frame:
// with a dozen of 44 rows on screen, formatting and measuring every label would cost more than drawing them.
struct RowTexts {
    std::vector<std::string> labels;  // "<category>:"
    std::vector<std::string> comboIds;  // "##<category>"
    std::vector<float> labelWidths;   // whole pixels, for labels right-aligned at the column boundary
    float widestLabel = 0.0f;
    const ImFont* measuredFont = nullptr;
    float measuredSize = 0.0f;
};

const RowTexts& Rows()
{
    // Drawing happens on one thread only, so the cache needs no lock.
    static RowTexts rows = [] {
        RowTexts texts;
        for (const MutatorCategory& category : MutatorTable) {
            texts.labels.push_back(MutatorRowLabel(category));
            texts.comboIds.push_back("##" + category.label);
        }
        texts.labelWidths.resize(texts.labels.size(), 0.0f);
        return texts;
    }();
    const ImFont* font = ImGui::GetFont();
    const float size = ImGui::GetFontSize();
    if (rows.measuredFont != font || rows.measuredSize != size) {
        rows.widestLabel = 0.0f;
        for (std::size_t i = 0; i < rows.labels.size(); ++i) {
            const float width = ImGui::CalcTextSize(rows.labels[i].c_str()).x;
            rows.labelWidths[i] = static_cast<float>(static_cast<int>(width + 0.95f));
            if (rows.labelWidths[i] > rows.widestLabel) rows.widestLabel = rows.labelWidths[i];
        }
        rows.measuredFont = font;
        rows.measuredSize = size;
    }
    return rows;
}

void DrawRow(const MutatorCategory& category, std::size_t row, const RowTexts& texts, MutatorSelections& selections,
             float labelColumnWidth)
{
    const ImGuiStyle& style = ImGui::GetStyle();
    ImGui::SetCursorPosX(labelColumnWidth - texts.labelWidths[row] + style.ItemSpacing.x);
    ImGui::TextUnformatted(texts.labels[row].c_str());
    ImGui::NextColumn();

    int& index = selections.try_emplace(category.label, 0).first->second;
    // Any code may write the map; an index that names no option must not be read as one.
    const bool known = index >= 0 && static_cast<std::size_t>(index) < category.options.size();
    const char* preview = known ? category.options[static_cast<std::size_t>(index)].displayName.c_str() : "";
    if (ImGui::BeginCombo(texts.comboIds[row].c_str(), preview)) {
        for (std::size_t i = 0; i < category.options.size(); ++i) {
            const bool selected = static_cast<int>(i) == index;
            if (ImGui::Selectable(category.options[i].displayName.c_str(), selected)) index = static_cast<int>(i);
            if (selected) ImGui::SetItemDefaultFocus();
        }
        ImGui::EndCombo();
    }
    ImGui::NextColumn();
}

}  // namespace

float MutatorLabelColumnWidth() { return Rows().widestLabel; }

void RenderMutatorSettings(MutatorSelections& selections, float& labelColumnWidth)
{
    if (!ImGui::CollapsingHeader("Mutators Settings")) return;

    const RowTexts& texts = Rows();
    // Rows scrolled out of view are not drawn, so they get their entry here: the game tags read every category.
    if (selections.size() < MutatorTable.size()) {
        for (const MutatorCategory& category : MutatorTable) selections.try_emplace(category.label, 0);
    }
    const ImGuiStyle& style = ImGui::GetStyle();
    // Leaves room for four square buttons on the right of the region.
    const float width = -4.0f * (ImGui::GetFontSize() + 2.0f * style.FramePadding.y + style.ItemSpacing.y);
    const float height = mutatorRowHeight * static_cast<float>(MutatorTable.size());
    if (!ImGui::BeginChild("#MutatorsSettings", ImVec2(width, height), false, ImGuiWindowFlags_NoScrollbar)) {
        ImGui::EndChild();
        return;
    }

    ImGui::Columns(2, "Mutators", true);
    ImGui::SetColumnOffset(1, labelColumnWidth + style.ItemSpacing.x);
    // The region is as tall as all rows; the enclosing window scrolls it, and the clipper draws only the rows
    // inside the part of it that is on screen.
    ImGuiListClipper clipper;
    clipper.Begin(static_cast<int>(MutatorTable.size()), ImGui::GetFrameHeightWithSpacing());
    while (clipper.Step()) {
        for (int row = clipper.DisplayStart; row < clipper.DisplayEnd; ++row) {
            const auto at = static_cast<std::size_t>(row);
            DrawRow(MutatorTable[at], at, texts, selections, labelColumnWidth);
        }
    }
    clipper.End();
    // Every label is measured, not just the visible ones, so the column does not widen again while scrolling.
    if (texts.widestLabel > labelColumnWidth) labelColumnWidth = texts.widestLabel;

    ImGui::Columns(1);
    ImGui::EndChild();
}

}  // namespace catalogue
