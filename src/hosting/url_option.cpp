#include "hosting/url_option.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

#include "hosting/map_file_name.h"

namespace hosting {

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

constexpr std::string_view kPasswordKey = "?password=";

// Where the value of the first password option at or after from starts and ends; npos for none.
std::pair<size_t, size_t> PasswordValueSpan(const std::string& command, size_t from = 0)
{
    const size_t key = Lower(command).find(kPasswordKey, from);
    if (key == std::string::npos) return {std::string::npos, std::string::npos};
    const size_t start = key + kPasswordKey.size();
    const size_t end = command.find_first_of("?#", start);
    return {start, end == std::string::npos ? command.size() : end};
}

} // namespace

bool IsSafeUrlOptionValue(const std::string& text)
{
    return IsLaunchableMapName(text) && text.find_first_of("?#") == std::string::npos;
}

std::string PasswordOption(const std::string& command)
{
    const auto [start, end] = PasswordValueSpan(command);
    return start == std::string::npos ? std::string() : command.substr(start, end - start);
}

std::string WithoutPassword(const std::string& command)
{
    std::string shown = command;
    for (size_t from = 0;;) {
        const auto [start, end] = PasswordValueSpan(shown, from);
        if (start == std::string::npos) return shown;
        if (end == start) {
            from = start; // an empty one hides nothing, and "***" would claim there is one
            continue;
        }
        shown.replace(start, end - start, "***");
        from = start + 3;
    }
}

HostedMatch HostedMatchOf(const std::string& command)
{
    if (Lower(command).find("?listen") == std::string::npos) return HostedMatch::None;
    return PasswordOption(command).empty() ? HostedMatch::Open : HostedMatch::Locked;
}

} // namespace hosting
