// A host on Linux names the folders through KESTREL_APPDATA and KESTREL_TEMP (the
// development host sets both to its Windows-like tree).
#include "platform/folders.h"

#include <cstdlib>
#include <system_error>

namespace platform {

namespace {

std::filesystem::path FromEnvironment(const char* name, std::filesystem::path fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::filesystem::path(value) : fallback;
}

} // namespace

std::filesystem::path WorkingDirectory()
{
    std::error_code error;
    auto path = std::filesystem::current_path(error);
    return error ? std::filesystem::path(".") : path;
}

std::filesystem::path AppDataFolder()
{
    const char* home = std::getenv("HOME");
    return FromEnvironment("KESTREL_APPDATA", std::filesystem::path(home ? home : "/tmp") / ".local/share");
}

std::filesystem::path TempFolder()
{
    return FromEnvironment("KESTREL_TEMP", FromEnvironment("TMPDIR", "/tmp"));
}

} // namespace platform
