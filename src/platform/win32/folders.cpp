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

// The wide forms: a user name outside the code page must still give the right folder.
std::filesystem::path AppDataFolder()
{
    wchar_t path[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
    return std::filesystem::path(path);
}

std::filesystem::path TempFolder()
{
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, path);
    if (length == 0 || length > MAX_PATH) return {};
    return std::filesystem::path(path);
}

} // namespace platform
