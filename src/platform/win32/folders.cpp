#include "platform/folders.h"

#include <windows.h>
#include <shlobj.h>

#include <system_error>

namespace platform {

std::filesystem::path WorkingDirectory()
{
    std::error_code error;
    auto path = std::filesystem::current_path(error);
    return error ? std::filesystem::path(".") : path;
}

std::filesystem::path AppDataFolder()
{
    char path[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
    return std::filesystem::path(path);
}

std::filesystem::path TempFolder()
{
    char path[MAX_PATH + 1] = {};
    DWORD length = GetTempPathA(MAX_PATH + 1, path);
    if (length == 0 || length > MAX_PATH) return {};
    return std::filesystem::path(path);
}

} // namespace platform
