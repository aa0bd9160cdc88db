// Any body the port service may send: the answer is a port or 0, a port is a number written
// after the "port" key, and the service's own form always gives back the port it names,
// whatever follows it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_require.h"
#include "reverseproxy/frp_config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    const std::int32_t port = frp_config::ParsePortAnswer(body);
    FUZZ_REQUIRE(port >= 0 && port <= 65535);
    if (port != 0) {
        const auto key = body.find("\"port\"");
        FUZZ_REQUIRE(key != std::string::npos);
        const auto colon = body.find(':', key);
        FUZZ_REQUIRE(colon != std::string::npos && body.find(std::to_string(port), colon) != std::string::npos);
    }
    if (size >= 2) {
        const int wanted = (data[0] << 8) | data[1];
        const std::string answer = "{\"port\": " + std::to_string(wanted) + ", " + body.substr(2) + "}";
        FUZZ_REQUIRE(frp_config::ParsePortAnswer(answer) == wanted);
    }
    return 0;
}
