#pragma once
// The addresses last joined with "Join Address", newest first, as the console variable
// kz_recent_addresses keeps them: "host:port" entries separated by commas.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace lobby {

inline constexpr std::size_t maxRecentAddresses = 5;

// nullopt when the value is not such a list; entries past the fifth are dropped.
std::optional<std::vector<std::string>> ParseRecentAddresses(const std::string& value);
std::string FormatRecentAddresses(const std::vector<std::string>& addresses);
// The list with address in front, once, cut to the most recent five.
std::vector<std::string> RememberAddress(std::vector<std::string> addresses, const std::string& address);

} // namespace lobby
