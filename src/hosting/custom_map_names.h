#pragma once
#include <string>
#include <vector>

// Names of the installed custom maps, or the single entry "No custom maps". Filled once in
// onLoad on the game thread before the window can draw, read-only afterwards.
extern std::vector<std::string> customMapNames;

// The entry that stands for "none installed": offered, but not a map.
inline constexpr const char* noCustomMapsEntry = "No custom maps";
