#pragma once
// The Windows-like folder tree a plugin expects around the game, and the process state
// (environment, working directory) through which the plugin's platform layer finds it.
#include <filesystem>
#include <string>

namespace devhost {

struct FolderTree {
    std::filesystem::path root;        // the --data-dir folder
    std::filesystem::path gameRoot;    // <root>/game
    std::filesystem::path binaries;    // <game>/Binaries/Win64: the game's working directory
    std::filesystem::path mods;        // <game>/TAGame/CookedPCConsole/mods
    std::filesystem::path appData;     // <root>/appdata: KESTREL_APPDATA
    std::filesystem::path temp;        // <root>/temp: KESTREL_TEMP
    std::filesystem::path defaultConfig; // <appdata>/bakkesmod/bakkesmod/cfg/config.cfg
};

// Creates the folders under root (absolute). Returns an error text on failure.
std::string CreateFolderTree(const std::filesystem::path& root, FolderTree& tree);
// Sets KESTREL_APPDATA and KESTREL_TEMP and enters the game's working directory.
std::string EnterFolderTree(const FolderTree& tree);

} // namespace devhost
