// Any file the tunnel client stand-in may be given: it is read or refused with a reason, what it
// reads holds only values the real client would accept, and the TOML library sees only ASCII.
#include <cstddef>
#include <cstdint>
#include <string>

#include "client_config.h"
#include "fuzz_require.h"
#include "toml_ascii.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The parser is only ever handed ASCII, and an ASCII file exactly as it is.
    const tunnel::AsciiToml ascii = tunnel::ToAsciiToml(text);
    bool plain = true;
    for (char c : text) plain = plain && static_cast<unsigned char>(c) <= 0x7F;
    FUZZ_REQUIRE(!plain || (ascii.refusedLine == 0 && ascii.text == text));
    for (char c : ascii.text) FUZZ_REQUIRE(static_cast<unsigned char>(c) <= 0x7F);
    FUZZ_REQUIRE(ascii.refusedLine == 0 || (ascii.text.empty() && !ascii.reason.empty()));
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
