#pragma once
// Where the plugin finds the game's files, the user's application data and a temporary
// folder. On Windows these are the shell's folders; elsewhere the host names them.
#include <filesystem>

namespace platform {

// The process's working directory: the game runs from <game root>/Binaries/Win64.
std::filesystem::path WorkingDirectory();
// The user's roaming application-data folder.
std::filesystem::path AppDataFolder();
// The user's temporary folder.
std::filesystem::path TempFolder();

} // namespace platform
