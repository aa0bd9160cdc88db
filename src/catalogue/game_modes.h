#pragma once

#include <array>
#include <map>
#include <string>

// Game-mode display name -> game-info class name that the game's travel URL and the hosting service expect.
// Filled during static initialisation: read it from functions, not from other namespace-scope initialisers.
extern const std::map<std::string, std::string> GameModeTable;

// The modes the tabs offer, in combo order; a stored game-mode index (0 to 6) is a position here.
// "SplitShot" has a class in GameModeTable but no entry here, so no tab can pick it.
inline constexpr std::array<const char*, 7> GameModeMenu{
    "Soccar", "Hoops", "Rumble", "Dropshot", "Snow Day", "Heatseeker", "Gridiron",
};
