#include "sim/allowed_networks.h"

#include <arpa/inet.h>

#include "console/words.h"

namespace devhost {

std::optional<Ipv4Network> ParseIpv4Network(const std::string& text)
{
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return std::nullopt;
    in_addr parsed{};
    if (inet_pton(AF_INET, text.substr(0, slash).c_str(), &parsed) != 1) return std::nullopt;
    // Nothing wider than a /8: the allowance is for a test's own small networks, not the internet.
    const auto length = ParseInteger(text.substr(slash + 1), 8, 32);
    if (!length) return std::nullopt;
    const std::uint32_t mask = *length == 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> *length);
    return Ipv4Network{ntohl(parsed.s_addr) & mask, mask};
}

bool AllowedNetworks::Allows(std::uint32_t address) const
{
    if ((address >> 24) == 127) return true;
    for (const Ipv4Network& network : extra) {
        if ((address & network.mask) == network.address) return true;
    }
    return false;
}

} // namespace devhost
