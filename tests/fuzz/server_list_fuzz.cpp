// Any body the hosting service may send as its server list: a list is whole or absent, holds
// one location per entry of the document, and each endpoint is the entry's ip and port.
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz_require.h"
#include "hosted/hosting_lists.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    auto servers = hosted::ParseServerList(body);
    if (!servers) return 0;
    FUZZ_REQUIRE(!servers->serverLocations.empty());
    FUZZ_REQUIRE(servers->serverLocations.size() == servers->serverEndpoints.size());
    const auto document = nlohmann::json::parse(body, nullptr, false);
    FUZZ_REQUIRE(!document.is_discarded() && document.is_structured());
    FUZZ_REQUIRE(document.size() == servers->serverLocations.size());
    std::size_t i = 0;
    for (const auto& entry : document) {
        FUZZ_REQUIRE(entry.is_object());
        FUZZ_REQUIRE(servers->serverLocations[i] == entry["location"].get<std::string>());
        FUZZ_REQUIRE(servers->serverEndpoints[i] == entry["ip"].get<std::string>() + ":" + entry["port"].get<std::string>());
        ++i;
    }
    return 0;
}
