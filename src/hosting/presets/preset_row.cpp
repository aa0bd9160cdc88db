#include "hosting/presets/preset_row.h"

#include <imgui.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "catalogue/setup_line.h"
#include "plugin/logging.h"

namespace hosting {

namespace {

constexpr float kPresetComboWidth = 220.0f;

std::string WithKeptItems(std::string done, const std::vector<std::string>& notes)
{
    for (const std::string& note : notes) LogLine(note);
    if (notes.size() == 1) done += " (1 item left as it was, see the console)";
    if (notes.size() > 1) done += " (" + std::to_string(notes.size()) + " items left as they were, see the console)";
    return done + ".";
}

std::string Logged(std::string status)
{
    LogLine(status);
    return status;
}

void CopyName(PresetRowState& row, const std::string& name)
{
    row.nameBuffer.fill('\0');
    std::memcpy(row.nameBuffer.data(), name.data(), std::min(name.size(), row.nameBuffer.size() - 1));
}

void Save(PresetRowState& row, PresetStore& store, const std::string& name, bool overwrite,
          catalogue::SetupTarget& target, const MutatorSelections& selections)
{
    const PresetStore::Outcome outcome = store.Save(name, catalogue::CaptureSetup(target, selections), overwrite);
    switch (outcome.result) {
    case PresetStore::SaveResult::BadName:
        row.popupProblem = outcome.message;
        return;
    case PresetStore::SaveResult::NameTaken:
        row.askOverwrite = true;
        row.pendingName = outcome.name;
        return;
    case PresetStore::SaveResult::Saved:
    case PresetStore::SaveResult::Replaced:
        row.selectedName = outcome.name;
        break;
    case PresetStore::SaveResult::Full:
    case PresetStore::SaveResult::Failed:
        break;
    }
    row.status = Logged(outcome.message);
    ImGui::CloseCurrentPopup();
}

void SavePopup(PresetRowState& row, PresetStore& store, catalogue::SetupTarget& target, const MutatorSelections& selections)
{
    if (!ImGui::BeginPopupModal("Save Preset", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    if (row.askOverwrite) {
        ImGui::Text("A preset named %s already exists. Overwrite it?", catalogue::QuotedName(row.pendingName).c_str());
        if (ImGui::Button("Overwrite")) Save(row, store, row.pendingName, true, target, selections);
        ImGui::SameLine();
        if (ImGui::Button("Cancel")) ImGui::CloseCurrentPopup();
    } else {
        ImGui::TextUnformatted("Name:");
        if (ImGui::IsWindowAppearing()) ImGui::SetKeyboardFocusHere();
        const bool entered = ImGui::InputText("##PresetName", row.nameBuffer.data(), row.nameBuffer.size(),
                                              ImGuiInputTextFlags_EnterReturnsTrue);
        if (ImGui::Button("Save") || entered) Save(row, store, row.nameBuffer.data(), false, target, selections);
        ImGui::SameLine();
        if (ImGui::Button("Cancel")) ImGui::CloseCurrentPopup();
        if (!row.popupProblem.empty()) ImGui::TextUnformatted(row.popupProblem.c_str());
    }
    ImGui::EndPopup();
}

void DeletePopup(PresetRowState& row, PresetStore& store)
{
    if (!ImGui::BeginPopupModal("Delete Preset", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
    ImGui::Text("Delete preset %s?", catalogue::QuotedName(row.selectedName).c_str());
    if (ImGui::Button("Delete")) {
        row.status = Logged(store.Remove(row.selectedName));
        row.selectedName.clear();
        ImGui::CloseCurrentPopup();
    }
    ImGui::SameLine();
    if (ImGui::Button("Cancel")) ImGui::CloseCurrentPopup();
    ImGui::EndPopup();
}

void PresetCombo(PresetRowState& row, const PresetStore& store, const Preset* selected)
{
    const char* preview = selected ? selected->name.c_str() : store.Presets().empty() ? "No presets saved" : "Select a preset";
    ImGui::SetNextItemWidth(kPresetComboWidth);
    if (!ImGui::BeginCombo("##Presets", preview)) return;
    // Names are unique, so each is its entry's id too, and a script picks an entry by its name.
    for (const Preset& preset : store.Presets()) {
        const bool isSelected = &preset == selected;
        if (ImGui::Selectable(preset.name.c_str(), isSelected)) row.selectedName = preset.name;
        if (isSelected) ImGui::SetItemDefaultFocus();
    }
    ImGui::EndCombo();
}

} // namespace

std::string LoadPreset(PresetStore& store, const std::string& name, catalogue::SetupTarget& target,
                       MutatorSelections& selections)
{
    store.EnsureLoaded();
    const Preset* preset = store.Find(CheckPresetName(name).name);
    if (!preset) return Logged("No preset is named " + catalogue::QuotedName(CheckPresetName(name).name) + ".");
    const auto notes = catalogue::ApplySetup(preset->setup, target, selections);
    return Logged(WithKeptItems("Loaded preset " + catalogue::QuotedName(preset->name), notes));
}

std::string LoadSetupLine(std::string_view line, catalogue::SetupTarget& target, MutatorSelections& selections)
{
    const catalogue::SetupLineReading reading = catalogue::ReadSetupLine(line);
    if (!reading.setup) return Logged(reading.refusal);
    const auto notes = catalogue::ApplySetup(*reading.setup, target, selections);
    return Logged(WithKeptItems("Setup loaded", notes));
}

void RenderPresetRow(PresetRowState& row, PresetStore& store, catalogue::SetupTarget& target, MutatorSelections& selections)
{
    store.EnsureLoaded();
    const Preset* selected = row.selectedName.empty() ? nullptr : store.Find(row.selectedName);
    if (!selected) row.selectedName.clear();

    ImGui::TextUnformatted("Preset:");
    PresetCombo(row, store, selected);
    ImGui::SameLine();
    // Disabled buttons still answer to activation by id (scripts, keyboard navigation).
    ImGui::BeginDisabled(!selected);
    if (ImGui::Button("Load") && selected) row.status = LoadPreset(store, row.selectedName, target, selections);
    ImGui::EndDisabled();
    ImGui::SameLine();
    if (ImGui::Button("Save As...")) {
        CopyName(row, row.selectedName);
        row.askOverwrite = false;
        row.popupProblem.clear();
        ImGui::OpenPopup("Save Preset");
    }
    ImGui::SameLine();
    ImGui::BeginDisabled(!selected);
    if (ImGui::Button("Delete") && selected) ImGui::OpenPopup("Delete Preset");
    ImGui::EndDisabled();
    ImGui::SameLine();
    if (ImGui::Button("Copy Setup")) {
        const std::string line = catalogue::WriteSetupLine(catalogue::CaptureSetup(target, selections));
        ImGui::SetClipboardText(line.c_str());
        LogLine("Setup copied to the clipboard: " + line);
        row.status = "Setup copied to the clipboard.";
    }
    ImGui::SameLine();
    if (ImGui::Button("Paste Setup")) {
        const char* clipboard = ImGui::GetClipboardText();
        row.status = LoadSetupLine(clipboard ? std::string_view(clipboard) : std::string_view(), target, selections);
    }
    SavePopup(row, store, target, selections);
    DeletePopup(row, store);
    if (!row.status.empty()) ImGui::TextWrapped("%s", row.status.c_str());
}

} // namespace hosting
