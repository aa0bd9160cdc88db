#include "platform/narrow_name.h"

#include <windows.h>

namespace platform {

std::string NarrowName(const std::filesystem::path& path)
{
    const std::wstring wide = path.wstring();
    if (wide.empty()) return {};
    // Without this flag Windows picks look-alikes ("Łódź" becomes "Lodz"): a name that then
    // points at no file. '?' shows plainly that the code page lacks the character. A UTF-8
    // code page takes no flags and loses nothing.
    const UINT codePage = GetACP();
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string narrow(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, flags, wide.data(), length, narrow.data(), size, nullptr, nullptr) != size)
        return {};
    return narrow;
}

} // namespace platform
