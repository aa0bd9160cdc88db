#include "console/words.h"

#include <cctype>
#include <charconv>

namespace devhost {

std::optional<long long> ParseInteger(const std::string& text, long long min, long long max)
{
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end || value < min || value > max) return std::nullopt;
    return value;
}

std::string ToLower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace devhost
