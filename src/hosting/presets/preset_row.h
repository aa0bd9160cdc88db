#pragma once
// The preset row that each match tab draws above its mutator panel: saved presets to load, save and delete, and
// the setup line to copy and paste. Also the operations the console shares with it.
#include <array>
#include <string>
#include <string_view>

#include "catalogue/match_setup.h"
#include "catalogue/mutators.h"
#include "hosting/presets/preset_store.h"

namespace hosting {

// One per tab, for the life of the plugin object.
struct PresetRowState {
    std::string selectedName; // the "##Presets" choice; empty: none
    std::array<char, 4 * maxPresetNameLength + 1> nameBuffer{}; // "##PresetName": 40 characters of up to 4 bytes
    bool askOverwrite = false;  // the "Save Preset" popup asks before replacing pendingName
    std::string pendingName;    // the name that is taken, as typed
    std::string popupProblem;   // why the typed name cannot be used, shown in the popup
    std::string status;         // the row's last outcome, one line under it
};

// "Preset:", the combo "##Presets", "Load", "Save As..." (popup "Save Preset": "##PresetName", "Save"; a taken
// name asks "Overwrite"), "Delete" (popup "Delete Preset"), "Copy Setup" and "Paste Setup" (ImGui's clipboard),
// then the status line.
void RenderPresetRow(PresetRowState& row, PresetStore& store, catalogue::SetupTarget& target,
                     MutatorSelections& selections);

// Each logs what it did (and each item kept at its current value) and returns the status line.
std::string LoadPreset(PresetStore& store, const std::string& name, catalogue::SetupTarget& target,
                       MutatorSelections& selections);
std::string LoadSetupLine(std::string_view line, catalogue::SetupTarget& target, MutatorSelections& selections);

} // namespace hosting
