#include "platform/narrow_name.h"

namespace platform {

std::string NarrowName(const std::filesystem::path& path) { return path.string(); }

} // namespace platform
