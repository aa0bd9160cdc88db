#include "catalogue/game_mode_selector.h"

#include <cstddef>

#include <imgui.h>

#include "catalogue/game_modes.h"

namespace catalogue {

bool GameModeSelector(int& gameModeIndex)
{
    const int count = static_cast<int>(GameModeMenu.size());
    const bool inMenu = gameModeIndex >= 0 && gameModeIndex < count;
    if (!ImGui::BeginCombo("##GameModeSelection", inMenu ? GameModeMenu[static_cast<std::size_t>(gameModeIndex)] : "")) {
        return false;
    }
    bool chosen = false;
    for (int i = 0; i < count; ++i) {
        const bool selected = i == gameModeIndex;
        if (ImGui::Selectable(GameModeMenu[static_cast<std::size_t>(i)], selected)) {
            gameModeIndex = i;
            chosen = true;
        }
        if (selected) ImGui::SetItemDefaultFocus();
    }
    ImGui::EndCombo();
    return chosen;
}

}  // namespace catalogue
