#include "hosting/map_file_name.h"

#include <algorithm>

namespace hosting {

namespace {
bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }
} // namespace

bool IsLaunchableMapName(const std::string& name)
{
    return std::none_of(name.begin(), name.end(), [](char c) { return c == '|' || IsControl(c); });
}

std::string PrintableMapName(const std::string& name)
{
    std::string printable = name;
    std::replace_if(printable.begin(), printable.end(), IsControl, '?');
    return printable;
}

} // namespace hosting
