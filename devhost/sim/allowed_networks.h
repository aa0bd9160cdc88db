#pragma once
// Where the simulated game may send a datagram of its own: loopback always, and the IPv4
// networks the host was started with (--allow-join), which only a test's own network
// namespaces should ever be.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace devhost {

struct Ipv4Network {
    std::uint32_t address = 0; // host byte order, host bits zero
    std::uint32_t mask = 0;
};

// "a.b.c.d/len" with len 8 to 32; nullopt otherwise.
std::optional<Ipv4Network> ParseIpv4Network(const std::string& text);

class AllowedNetworks {
public:
    AllowedNetworks() = default;
    explicit AllowedNetworks(std::vector<Ipv4Network> extra) : extra(std::move(extra)) {}
    bool Allows(std::uint32_t address) const; // host byte order

private:
    std::vector<Ipv4Network> extra;
};

} // namespace devhost
