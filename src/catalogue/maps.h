#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Built-in arenas: map package name -> display name.
// std::string orders keys byte by byte with no case folding, so every key that starts with a lower-case letter
// sorts after "Wasteland_P". The position in iteration order is the index that map selectors show and store;
// display names repeat ("Beckwith Park"), so a map is only ever chosen by that index.
// Filled during static initialisation: read it from functions, not from other namespace-scope initialisers.
extern const std::map<std::string, std::string> MapTable;

// MapTable's display names in its order, built once, for the map selectors.
const std::vector<std::string>& MapTableDisplayNames();
// The package name at a selector's index; empty for an index outside the table.
std::string MapTableFileName(std::int32_t index);
