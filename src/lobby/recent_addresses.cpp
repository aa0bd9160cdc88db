#include "lobby/recent_addresses.h"

#include <algorithm>

#include "lobby/join_address.h"

namespace lobby {

std::optional<std::vector<std::string>> ParseRecentAddresses(const std::string& value)
{
    std::vector<std::string> addresses;
    if (value.empty()) return addresses;
    size_t start = 0;
    for (;;) {
        const size_t comma = value.find(',', start);
        const std::string entry = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        // Only what a join would have accepted: a picked entry goes back into a travel command.
        const JoinAddressCheck check = ParseJoinAddress(entry);
        if (!check.target) return std::nullopt;
        const std::string address = check.target->Text();
        if (addresses.size() < maxRecentAddresses && std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
        if (comma == std::string::npos) return addresses;
        start = comma + 1;
    }
}

std::string FormatRecentAddresses(const std::vector<std::string>& addresses)
{
    std::string value;
    for (const std::string& address : addresses) {
        if (!value.empty()) value += ',';
        value += address;
    }
    return value;
}

std::vector<std::string> RememberAddress(std::vector<std::string> addresses, const std::string& address)
{
    addresses.erase(std::remove(addresses.begin(), addresses.end(), address), addresses.end());
    addresses.insert(addresses.begin(), address);
    if (addresses.size() > maxRecentAddresses) addresses.resize(maxRecentAddresses);
    return addresses;
}

} // namespace lobby
