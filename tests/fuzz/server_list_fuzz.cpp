// Any body the hosting service may send as its server list: each entry of the document gives one
// location or is counted as skipped, in order; each endpoint is an entry's ip and port and can go
// into a request address as it is; each location is a name fit to show.
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz_require.h"
#include "hosted/hosting_lists.h"
#include "lobby/lobby_address.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    auto servers = hosted::ParseServerList(body);
    if (!servers) return 0;
    FUZZ_REQUIRE(servers->serverLocations.size() == servers->serverEndpoints.size());
    const auto document = nlohmann::json::parse(body, nullptr, false);
    FUZZ_REQUIRE(!document.is_discarded() && document.is_structured());
    FUZZ_REQUIRE(document.size() == servers->serverLocations.size() + servers->skipped);
    std::size_t next = 0; // the next endpoint to find among the entries
    for (const auto& entry : document) {
        if (next == servers->serverEndpoints.size() || !entry.is_object()) continue;
        const auto ip = entry.find("ip");
        const auto port = entry.find("port");
        if (ip == entry.end() || port == entry.end() || !ip->is_string() || !port->is_string()) continue;
        if (servers->serverEndpoints[next] == ip->get<std::string>() + ":" + port->get<std::string>()) ++next;
    }
    FUZZ_REQUIRE(next == servers->serverEndpoints.size());
    for (const std::string& endpoint : servers->serverEndpoints) {
        const std::size_t colon = endpoint.rfind(':');
        FUZZ_REQUIRE(colon != std::string::npos && lobby::IsPlainHostAddress(endpoint.substr(0, colon)));
        const std::string port = endpoint.substr(colon + 1);
        FUZZ_REQUIRE(!port.empty() && port.size() <= 5 && port.find_first_not_of("0123456789") == std::string::npos);
        FUZZ_REQUIRE(std::stoi(port) >= 1 && std::stoi(port) <= 65535);
    }
    for (const std::string& location : servers->serverLocations) {
        FUZZ_REQUIRE(!location.empty() && location.size() <= 128 * 4);
        for (unsigned char c : location) FUZZ_REQUIRE(c >= 0x20 && c != 0x7f);
    }
    return 0;
}
