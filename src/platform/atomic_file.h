#pragma once
// Replacing a small file so that a crash or a power cut leaves either the old file or the new one, never part
// of one.
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// Writes bytes to "<path>.tmp" in the same folder, makes them durable, then renames that file over path.
// Returns an empty text on success, else what failed; on failure path is untouched and the temporary file gone.
std::string ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

} // namespace platform
