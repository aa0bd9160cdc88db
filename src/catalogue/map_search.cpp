#include "catalogue/map_search.h"

#include <cstring>

namespace catalogue {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

}  // namespace

bool MapNameMatches(std::string_view search, std::string_view name)
{
    if (search.empty()) return true;
    if (search.size() > name.size()) return false;
    for (std::size_t start = 0; start + search.size() <= name.size(); ++start) {
        if (EqualIgnoringAsciiCase(search, name.substr(start, search.size()))) return true;
    }
    return false;
}

void ClampMapIndex(std::int32_t& selectedIndex, std::size_t nameCount)
{
    if (selectedIndex >= 0 && static_cast<std::size_t>(selectedIndex) >= nameCount) selectedIndex = 0;
}

std::string MapPreview(std::int32_t selectedIndex, const std::vector<std::string>& names)
{
    if (selectedIndex < 0 || static_cast<std::size_t>(selectedIndex) >= names.size()) return noMapChosenPreview;
    return names[static_cast<std::size_t>(selectedIndex)];
}

std::string_view SearchText(const char* buffer, std::size_t size)
{
    if (buffer == nullptr || size == 0) return {};
    const void* end = std::memchr(buffer, 0, size - 1);
    const std::size_t length = end ? static_cast<std::size_t>(static_cast<const char*>(end) - buffer) : size - 1;
    return {buffer, length};
}

}  // namespace catalogue
