#include "hosting/match_password.h"

#include <algorithm>

#include <fmt/format.h>

#include "hosting/url_option.h"

namespace hosting {

namespace {

constexpr const char* kLanNetworkOptions = "?NumPublicConnections=10?NumOpenPublicConnections=10?Lan?Listen";

// UTF-8 characters: every byte that does not continue a sequence starts one.
std::size_t CharacterCount(const std::string& text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

} // namespace

std::optional<std::string> MatchPasswordRefusal(const std::string& password)
{
    // A space would end the console command's URL just as a separator would.
    if (!IsSafeUrlOptionValue(password) || password.find(' ') != std::string::npos)
        return "The Match Password may not hold spaces, |, ?, # or control characters";
    if (CharacterCount(password) > maxMatchPasswordLength)
        return fmt::format("The Match Password may be at most {} characters long", maxMatchPasswordLength);
    return std::nullopt;
}

std::string LanNetworkOptions(const std::string& password)
{
    std::string options = kLanNetworkOptions;
    if (!password.empty()) options += "?Password=" + password;
    return options;
}

std::string MatchPasswordText::Get() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return password;
}

void MatchPasswordText::Set(std::string text)
{
    std::lock_guard<std::mutex> lock(mutex);
    password = std::move(text);
}

bool MatchPasswordText::IsSet() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return !password.empty();
}

MatchPasswordText& MatchPassword()
{
    static MatchPasswordText text;
    return text;
}

} // namespace hosting
