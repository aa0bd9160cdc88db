// Any body the proxy list service may send. A record the scanner keeps always has a name and an
// address, holds nothing past its own object, and goes into the tunnel configuration so that
// the file parses back, with toml++ and with the tunnel client's own reader, to exactly the
// record's values and no other keys.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <tuple>

#include <toml++/toml.h>

#include "client_config.h"
#include "fuzz_require.h"
#include "lobby/remote_text.h"
#include "reverseproxy/frp_config.h"
#include "reverseproxy/proxy_list.h"

namespace {

void CheckConfigRoundTrip(const ProxyServer& server)
{
    const std::string text = frp_config::ConfigText(server, 7777, 40123);
    toml::table table;
    try {
        table = toml::parse(text);
    } catch (const toml::parse_error&) {
        FUZZ_REQUIRE(!"the tunnel configuration does not parse");
    }
    std::set<std::string> keys;
    for (auto&& [key, value] : table) keys.insert(std::string(key.str()));
    const std::set<std::string> expected = server.authToken.empty()
                                               ? std::set<std::string>{"serverAddr", "serverPort", "proxies"}
                                               : std::set<std::string>{"serverAddr", "serverPort", "auth", "proxies"};
    FUZZ_REQUIRE(keys == expected);
    FUZZ_REQUIRE(table["serverAddr"].value<std::string>() == server.address);
    FUZZ_REQUIRE(table["serverPort"].value<std::int64_t>() == server.port);
    if (!server.authToken.empty()) {
        FUZZ_REQUIRE(table["auth"].as_table() && table["auth"].as_table()->size() == 1);
        FUZZ_REQUIRE(table["auth"]["token"].value<std::string>() == server.authToken);
    }
    auto* proxies = table["proxies"].as_array();
    FUZZ_REQUIRE(proxies && proxies->size() == 1);

    std::string error;
    auto config = tunnel::ParseClientConfig(text, error);
    FUZZ_REQUIRE(config.has_value());
    FUZZ_REQUIRE(config->serverAddr == server.address && config->serverPort == server.port);
    FUZZ_REQUIRE(config->token == server.authToken);
    FUZZ_REQUIRE(config->proxies.size() == 1 && config->proxies[0].name == "rocket-league-server");
    FUZZ_REQUIRE(config->proxies[0].localPort == 7777 && config->proxies[0].remotePort == 40123);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    const auto scanned = reverse_proxy::ScanProxyServerList(body);
    // The configuration depends only on a record's address, port and token, and two toml
    // parses per record made long bodies of look-alike records the whole cost of a run; each
    // distinct triple is checked once, and at most a few per input.
    std::set<std::tuple<std::string, int, std::string>> checked;
    std::size_t objects = 0;
    for (char c : body) objects += c == '{';
    FUZZ_REQUIRE(scanned.servers.size() + scanned.skippedNotUtf8 + scanned.skippedBadPort + scanned.skippedTooLong <=
                 objects);
    for (const auto& server : scanned.servers) {
        FUZZ_REQUIRE(!server.name.empty() && !server.address.empty());
        // An object ends at its first '}', so no value reaches into the next one.
        for (const std::string* value : {&server.address, &server.authToken})
            FUZZ_REQUIRE(value->find('}') == std::string::npos && body.find(*value) != std::string::npos);
        FUZZ_REQUIRE(server.address.size() <= reverse_proxy::kMaxProxyAddressBytes &&
                     server.authToken.size() <= reverse_proxy::kMaxProxyTokenBytes);
        // The name is shown and logged: one line, bounded.
        FUZZ_REQUIRE(server.name.find('}') == std::string::npos && server.name.size() <= 128 * 4);
        for (unsigned char c : server.name) FUZZ_REQUIRE(c >= 0x20 && c != 0x7f);
        FUZZ_REQUIRE(server.port >= 1 && server.port <= 65535);
        FUZZ_REQUIRE(remote_text::IsValidUtf8(server.name));
        if (checked.size() < 4 && checked.emplace(server.address, server.port, server.authToken).second)
            CheckConfigRoundTrip(server);
    }
    // Whatever a key's value is, the scanner returns a part of the object text.
    const std::string value = reverse_proxy::ExtractJsonValue(body, "name");
    FUZZ_REQUIRE(body.find(value) != std::string::npos);
    return 0;
}
