#pragma once
// Finds the custom map packages in the game's mods folder and turns ".udk" packages into
// ".upk" ones, which is the extension the game loads.
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace hosting {

// workingDirectory is the game's (<game root>/Binaries/Win64). Progress goes to out,
// failures to err, and both to the console log. The result names every package met (file
// name without its extension) and ends with "No custom maps" when it found none or failed.
std::vector<std::string> InstallCustomMaps(const std::filesystem::path& workingDirectory, std::ostream& out,
                                           std::ostream& err);

} // namespace hosting
