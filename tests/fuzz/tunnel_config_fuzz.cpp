// Any file the tunnel client stand-in may be given: it is read or refused with a reason, and
// what it reads holds only values the real client would accept.
#include <cstddef>
#include <cstdint>
#include <string>

#include "client_config.h"
#include "fuzz_require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto config = tunnel::ParseClientConfig(text, error);
    if (!config) {
        FUZZ_REQUIRE(!error.empty());
        return 0;
    }
    FUZZ_REQUIRE(config->serverPort >= 0 && config->serverPort <= 65535);
    for (const auto& proxy : config->proxies) {
        FUZZ_REQUIRE(!proxy.name.empty());
        FUZZ_REQUIRE(proxy.localPort >= 0 && proxy.localPort <= 65535);
        FUZZ_REQUIRE(proxy.remotePort >= 0 && proxy.remotePort <= 65535);
    }
    return 0;
}
