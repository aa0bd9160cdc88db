// The tunnel client's configuration file and the port service's answer.
#include <gtest/gtest.h>

#include <toml++/toml.h>

#include "reverseproxy/frp_config.h"

namespace {

TEST(FrpConfig, OrdinaryValuesGiveTheClientsLinesInOrder)
{
    ProxyServer withToken("Proxy", "proxy.example.net", 7001, "secret");
    EXPECT_EQ(frp_config::ConfigText(withToken, 7777, 47900),
              "serverAddr = \"proxy.example.net\"\n"
              "serverPort = 7001\n"
              "auth.token = \"secret\"\n"
              "\n"
              "[[proxies]]\n"
              "name = \"rocket-league-server\"\n"
              "type = \"udp\"\n"
              "localIP = \"127.0.0.1\"\n"
              "localPort = 7777\n"
              "remotePort = 47900\n"
              "\n");
    ProxyServer noToken("Proxy", "10.0.0.1", 7000, "");
    EXPECT_EQ(frp_config::ConfigText(noToken, 7777, 1),
              "serverAddr = \"10.0.0.1\"\n"
              "serverPort = 7000\n"
              "\n"
              "[[proxies]]\n"
              "name = \"rocket-league-server\"\n"
              "type = \"udp\"\n"
              "localIP = \"127.0.0.1\"\n"
              "localPort = 7777\n"
              "remotePort = 1\n"
              "\n");
}

// Values from the remote proxy list must never add keys or a second proxy (which could
// expose any local port): read back, the file holds exactly its keys and the values as given.
TEST(FrpConfig, HostileValuesStayInsideTheirStrings)
{
    const std::string hostile[] = {
        "a\"b",
        "back\\slash\\",
        "x\"\nserverPort = 1\n[[proxies]]\nname = \"ssh\"\ntype = \"tcp\"\nlocalPort = 22\nremotePort = 2222\n#",
        "line\r\nbreak",
        "tab\there\x01\x1f\x7f",
        "\"\"\"",
        "'single' and [[proxies]]",
        "",
    };
    for (const auto& address : hostile) {
        for (const auto& token : hostile) {
            ProxyServer server("Proxy", address, 7000, token);
            std::string text = frp_config::ConfigText(server, 7777, 47901);
            toml::table table;
            try {
                table = toml::parse(text);
            } catch (const toml::parse_error& error) {
                FAIL() << error.description() << "\n" << text;
            }
            EXPECT_EQ(table["serverAddr"].value<std::string>(), address);
            EXPECT_EQ(table["serverPort"].value<int64_t>(), 7000);
            size_t expectedKeys = token.empty() ? 3 : 4;
            EXPECT_EQ(table.size(), expectedKeys) << text;
            if (!token.empty()) {
                EXPECT_EQ(table["auth"]["token"].value<std::string>(), token);
                EXPECT_EQ(table["auth"].as_table()->size(), 1u);
            }
            auto* proxies = table["proxies"].as_array();
            ASSERT_TRUE(proxies) << text;
            ASSERT_EQ(proxies->size(), 1u) << text;
            auto& proxy = *proxies->get(0)->as_table();
            EXPECT_EQ(proxy.size(), 5u);
            EXPECT_EQ(proxy["name"].value<std::string>(), "rocket-league-server");
            EXPECT_EQ(proxy["type"].value<std::string>(), "udp");
            EXPECT_EQ(proxy["localIP"].value<std::string>(), "127.0.0.1");
            EXPECT_EQ(proxy["localPort"].value<int64_t>(), 7777);
            EXPECT_EQ(proxy["remotePort"].value<int64_t>(), 47901);
        }
    }
}

TEST(FrpConfig, TomlStringEscapes)
{
    EXPECT_EQ(frp_config::TomlString("plain"), "\"plain\"");
    EXPECT_EQ(frp_config::TomlString("q\"b\\"), "\"q\\\"b\\\\\"");
    EXPECT_EQ(frp_config::TomlString("\n\r\t\b\f\x01\x7f"), "\"\\n\\r\\t\\b\\f\\u0001\\u007F\"");
    EXPECT_EQ(frp_config::TomlString("caf\xc3\xa9"), "\"caf\xc3\xa9\""); // UTF-8 as it is
}

TEST(FrpConfig, PortAnswers)
{
    struct Case {
        const char* body;
        int32_t port;
    };
    const Case cases[] = {
        {"{\"port\": 7123}", 7123},
        {"{\"port\":\"7123\"}", 7123},
        {"{\"status\":\"ok\",\"port\" :\n 47900 }", 47900},
        {"{\"port\": 1}", 1},
        {"{\"port\": 65535}", 65535},
        {"{\"port\": 0}", 0},
        {"{\"port\": 65536}", 0},
        {"{\"port\": 99999999999999999999}", 0},
        {"{\"status\": \"full\"}", 0},
        {"{\"port\": \"none\"}", 0},
        {"{\"port\"}", 0},
        {"", 0},
        {"port", 0},
        // Only a whole number 1-65535 under the key itself is a port.
        {"{\"port\": -47901}", 0},
        {"{\"port\": 4.79e4}", 0},
        {"{\"port\": 47901.0}", 0},
        {"{\"port\": 479e2}", 0},
        {"{\"port\": null, \"reserved\": 47903}", 0},
        {"{\"port\": true}", 0},
        {"{\"port\": \"47950\nserverAddr = \\\"evil\\\"\"}", 0},
        {"{\"port\": \"7123x\"}", 0},
        {"{\"port\": 7123abc}", 0},
        {"{\"port\": 0047901}", 47901},
        {"{\"kind\": \"port\", \"port\": 7123}", 7123},
        {"{\"port\":7123,\"port\":7124}", 7123},
        {"{\"port\":\t7123\r\n}", 7123},
    };
    for (const auto& c : cases) EXPECT_EQ(frp_config::ParsePortAnswer(c.body), c.port) << c.body;
}

} // namespace

#include "reverseproxy/sha256.h"

namespace {

TEST(Sha256, KnownDigestsAcrossBlockEdges)
{
    EXPECT_EQ(Sha256::Of(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256::Of("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256::Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256::Of(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // Fed in uneven pieces, the digest is the same.
    std::string text(1000, 'x');
    Sha256 pieces;
    for (size_t at = 0, step = 1; at < text.size(); at += step, step = step * 3 % 97 + 1)
        pieces.Update(text.data() + at, std::min(step, text.size() - at));
    EXPECT_EQ(pieces.HexDigest(), Sha256::Of(text));
}

} // namespace
