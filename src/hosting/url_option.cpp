#include "hosting/url_option.h"

#include "hosting/map_file_name.h"

namespace hosting {

bool IsSafeUrlOptionValue(const std::string& text)
{
    return IsLaunchableMapName(text) && text.find_first_of("?#") == std::string::npos;
}

} // namespace hosting
