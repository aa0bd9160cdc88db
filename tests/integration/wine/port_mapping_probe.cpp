// The plugin's router port mapping as a program of its own: finds the router, maps a UDP port to
// this machine, lists the router's mappings, waits for a line on its input, removes the mapping.
// port_mapping_wine.py runs it under Wine inside a network namespace with a real UPnP router and
// checks the router's side in between.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "platform/port_mapping.h"

namespace {

constexpr int kMaxListed = 64;
constexpr int kLeaseSeconds = 3600;

std::string Outcome(const platform::RouterResult& result)
{
    return result.ok() ? "0 OK" : std::to_string(result.code) + " " + result.text;
}

void PrintList(platform::PortMapping& mapping)
{
    std::vector<platform::PortMappingEntry> entries;
    platform::RouterResult listed = mapping.ListMappings(entries, kMaxListed);
    std::string text;
    for (const auto& entry : entries) {
        text += "; " + entry.protocol + " " + std::to_string(entry.externalPort) + " -> " + entry.internalClient + ":" +
                std::to_string(entry.internalPort) + " '" + entry.description + "'";
    }
    std::printf("probe: listed %zu mapping(s)%s (%s)\n", entries.size(), text.c_str(), Outcome(listed).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    const int port = argc > 1 ? std::atoi(argv[1]) : 7777;
    if (port < 1 || port > 65535) {
        std::printf("probe: usage: port_mapping_probe [udp-port]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // No Winsock start of its own: the mapping must not rely on the game having made one.

    auto mapping = platform::CreatePortMapping("");
    if (!mapping->Discover()) {
        std::printf("probe: no gateway answered\n");
        return 1;
    }
    const std::string lan = mapping->LanAddress();
    std::printf("probe: gateway found; this machine is %s to it\n", lan.c_str());

    std::string external;
    platform::RouterResult asked = mapping->ExternalAddress(external);
    std::printf("probe: external address %s (%s)\n", external.c_str(), Outcome(asked).c_str());

    platform::RouterResult added = mapping->AddUdpMapping(port, port, lan, "Kestrel Rocket League", kLeaseSeconds);
    std::printf("probe: add UDP %d -> %s:%d: %s\n", port, lan.c_str(), port, Outcome(added).c_str());
    if (!added.ok()) return 1;
    PrintList(*mapping);

    std::printf("probe: mapped; a line on input removes it\n");
    std::string line;
    std::getline(std::cin, line);

    platform::RouterResult removed = mapping->DeleteUdpMapping(port);
    std::printf("probe: delete UDP %d: %s\n", port, Outcome(removed).c_str());
    PrintList(*mapping);
    return removed.ok() ? 0 : 1;
}
