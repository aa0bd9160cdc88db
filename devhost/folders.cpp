#include "folders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace devhost {

std::string CreateFolderTree(const std::filesystem::path& root, FolderTree& tree)
{
    tree.root = root;
    tree.gameRoot = root / "game";
    tree.binaries = tree.gameRoot / "Binaries" / "Win64";
    tree.mods = tree.gameRoot / "TAGame" / "CookedPCConsole" / "mods";
    tree.appData = root / "appdata";
    tree.temp = root / "temp";
    tree.defaultConfig = tree.appData / "bakkesmod" / "bakkesmod" / "cfg" / "config.cfg";
    for (const auto& dir : {tree.binaries, tree.mods, tree.appData, tree.temp, tree.defaultConfig.parent_path()}) {
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        if (error) return "cannot create " + dir.string() + ": " + error.message();
    }
    return {};
}

std::string EnterFolderTree(const FolderTree& tree)
{
    if (setenv("KESTREL_APPDATA", tree.appData.c_str(), 1) != 0 || setenv("KESTREL_TEMP", tree.temp.c_str(), 1) != 0)
        return std::string("cannot set the folder variables: ") + std::strerror(errno);
    std::error_code error;
    std::filesystem::current_path(tree.binaries, error);
    if (error) return "cannot enter " + tree.binaries.string() + ": " + error.message();
    return {};
}

} // namespace devhost
