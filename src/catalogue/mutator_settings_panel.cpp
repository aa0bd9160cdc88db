#include "catalogue/mutator_settings_panel.h"

#include <cstddef>

#include <imgui.h>

namespace catalogue {

std::string MutatorRowLabel(const MutatorCategory& category) { return category.label + ":"; }

void RenderMutatorSettings(MutatorSelections& selections, float& labelColumnWidth)
{
    if (!ImGui::CollapsingHeader("Mutators Settings")) return;

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
    float widestLabel = 0.0f;
    for (const MutatorCategory& category : MutatorTable) {
        const std::string label = MutatorRowLabel(category);
        const float labelWidth = static_cast<float>(static_cast<int>(ImGui::CalcTextSize(label.c_str()).x + 0.95f));
        ImGui::SetCursorPosX(labelColumnWidth - labelWidth + style.ItemSpacing.x);
        ImGui::TextUnformatted(label.c_str());
        ImGui::NextColumn();

        int& index = selections.try_emplace(category.label, 0).first->second;
        // Any code may write the map; an index that names no option must not be read as one.
        const bool known = index >= 0 && static_cast<std::size_t>(index) < category.options.size();
        const char* preview = known ? category.options[static_cast<std::size_t>(index)].displayName.c_str() : "";
        if (ImGui::BeginCombo(("##" + category.label).c_str(), preview)) {
            for (std::size_t i = 0; i < category.options.size(); ++i) {
                const bool selected = static_cast<int>(i) == index;
                if (ImGui::Selectable(category.options[i].displayName.c_str(), selected)) index = static_cast<int>(i);
                if (selected) ImGui::SetItemDefaultFocus();
            }
            ImGui::EndCombo();
        }
        ImGui::NextColumn();
        if (labelWidth > widestLabel) widestLabel = labelWidth;
    }
    if (widestLabel > labelColumnWidth) labelColumnWidth = widestLabel;

    ImGui::Columns(1);
    ImGui::EndChild();
}

}  // namespace catalogue
