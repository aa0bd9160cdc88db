#pragma once

namespace catalogue {

// The combo "##GameModeSelection" over GameModeMenu, bound to a tab's own game-mode index. An index outside the
// menu shows an empty preview and marks no entry. Returns true in the frame the user picks an entry.
bool GameModeSelector(int& gameModeIndex);

}  // namespace catalogue
