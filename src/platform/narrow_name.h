#pragma once
#include <filesystem>
#include <string>

namespace platform {

// A path in the narrow character set the game's console and commands use: the active
// code page on Windows, UTF-8 elsewhere. Characters the code page lacks become '?'.
std::string NarrowName(const std::filesystem::path& path);

} // namespace platform
