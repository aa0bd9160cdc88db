// The proxy list scanner's pieces, the tunnel client's output, the status log and the panel's colours.
#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>

#include "reverseproxy/panel_style.h"
#include "reverseproxy/proxy_list.h"
#include "reverseproxy/status_log.h"
#include "reverseproxy/tunnel_output.h"

namespace {

struct ExtractCase {
    const char* object;
    const char* key;
    const char* expected;
};

TEST(ExtractJsonValue, ReadsValuesTheWayStoredListsExpect)
{
    const ExtractCase cases[] = {
        {R"({"name": "EU West", "port": 7001})", "name", "EU West"},
        {R"({"name": "EU West", "port": 7001})", "port", "7001"},
        {R"({"port": "7001"})", "port", "7001"},
        {"{\"port\":\t\r\n 7001 \t}", "port", "7001"},
        {R"({"ok": true, "x": 1})", "ok", "true"},
        {R"({"token": null})", "token", "null"},
        {R"({"name": ""})", "name", ""},
        {R"({"name": "a\"b"})", "name", "a\\"},               // no escape handling
        {R"({"alias": "port", "x": 5, "port": 1})", "port", "5"}, // first occurrence wins, inside a value too
        {R"({"name": "unterminated})", "name", ""},
        {R"({"port": 7001)", "port", ""},                     // no terminator after a bare value
        {R"({"port"   )", "port", ""},                        // no colon
        {R"({"port":    )", "port", ""},                      // nothing after the colon
        {R"({"other": 1})", "port", ""},
        {R"({"name": "x", "portal": 5})", "port", ""},        // the key with its quotes, not a prefix
        {"{\"port\": 70\n01}", "port", "70"},
    };
    for (const ExtractCase& c : cases) {
        EXPECT_EQ(reverse_proxy::ExtractJsonValue(c.object, c.key), c.expected) << c.object << " / " << c.key;
    }
}

TEST(ParseDecimalInt, AcceptsWhatTheListHasAlwaysAccepted)
{
    const std::pair<const char*, std::int32_t> accepted[] = {
        {"7001", 7001}, {"  7001", 7001}, {"+7001", 7001}, {"-5", -5}, {"7001abc", 7001}, {"12.5", 12},
        {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"0007", 7},
    };
    for (const auto& [text, value] : accepted) {
        EXPECT_EQ(reverse_proxy::ParseDecimalInt(text), value) << text;
    }
}

TEST(ParseDecimalInt, RefusesWithTheConversionsOwnWords)
{
    for (const char* text : {"abc", "", " ", "+", "-x", "null"}) {
        try {
            reverse_proxy::ParseDecimalInt(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const std::invalid_argument& error) {
            EXPECT_STREQ(error.what(), "invalid stoi argument") << text;
        }
    }
    for (const char* text : {"2147483648", "-2147483649", "99999999999999999999"}) {
        try {
            reverse_proxy::ParseDecimalInt(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const std::out_of_range& error) {
            EXPECT_STREQ(error.what(), "stoi argument out of range") << text;
        }
    }
}

TEST(TunnelOutput, TellsProxyStartFromFailuresAndNoise)
{
    using Kind = reverse_proxy::TunnelLine::Kind;
    struct Case {
        const char* line;
        Kind kind;
        const char* reason;
    };
    const Case cases[] = {
        {"2026-12-08 20:00:00.000 [I] [proxy/proxy_manager.go:173] [rocket-league-server] start proxy success\r\n",
         Kind::ProxyStarted, ""},
        {"[rocket-league-server] start proxy success", Kind::ProxyStarted, ""},
        {"2026-12-08 [W] [rocket-league-server] start error: port already used", Kind::Failure,
         "[rocket-league-server] start error: port already used"},
        {"2026-12-08 [E] [service.go:295] login to the server failed: authorization failed\n", Kind::Failure,
         "login to the server failed: authorization failed"},
        {"2026-12-08 [I] [service.go:288] login to server success, get run id [abc]", Kind::Other, ""},
        {"[other-proxy] start proxy success", Kind::Other, ""},
        {"", Kind::Other, ""},
    };
    for (const Case& c : cases) {
        const reverse_proxy::TunnelLine seen = reverse_proxy::ClassifyTunnelLine(c.line);
        EXPECT_EQ(seen.kind, c.kind) << c.line;
        EXPECT_EQ(seen.reason, c.reason) << c.line;
    }
    EXPECT_EQ(reverse_proxy::TunnelExitReason(1), "Tunnel client exited (code 1)");
    EXPECT_EQ(reverse_proxy::TunnelTimeoutReason(std::chrono::seconds(10)),
              "Tunnel client did not report its proxy within 10 s");
    EXPECT_EQ(reverse_proxy::TunnelTimeoutReason(std::chrono::milliseconds(1500)),
              "Tunnel client did not report its proxy within 1.5 s");
}

TEST(StatusLog, KeepsTheNewestTenAndTagsLevels)
{
    std::deque<StatusLogEntry> log;
    for (int i = 1; i <= 11; ++i) {
        reverse_proxy::AppendCapped(log, StatusLogEntry{"entry " + std::to_string(i), LogLevel::Info, "00:00:00"});
        EXPECT_LE(log.size(), 10u);
    }
    ASSERT_EQ(log.size(), 10u);
    EXPECT_EQ(log.front().message, "entry 2");
    EXPECT_EQ(log.back().message, "entry 11");

    EXPECT_STREQ(reverse_proxy::LevelTag(LogLevel::Info), "[INFO] ");
    EXPECT_STREQ(reverse_proxy::LevelTag(LogLevel::Success), "[SUCCESS] ");
    EXPECT_STREQ(reverse_proxy::LevelTag(LogLevel::Warning), "[WARNING] ");
    EXPECT_STREQ(reverse_proxy::LevelTag(LogLevel::Error), "[ERROR] ");
    EXPECT_TRUE(std::regex_match(reverse_proxy::LocalTimestamp(), std::regex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]")));
}

bool Same(const ImVec4& a, const ImVec4& b) { return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w; }

TEST(PanelStyle, LatencyColoursChangeAtFiftyAndAHundred)
{
    namespace style = reverse_proxy::style;
    const std::pair<int, ImVec4> cases[] = {{-1, style::grey},   {0, style::green},  {49, style::green},
                                            {50, style::yellow}, {99, style::yellow}, {100, style::red},
                                            {5000, style::red}};
    for (const auto& [latency, colour] : cases) {
        EXPECT_TRUE(Same(style::LatencyColour(latency), colour)) << latency;
    }
    EXPECT_STREQ(style::FirewallLook(FirewallStatus::Ready).label, "Port 7777 Open");
    EXPECT_STREQ(style::FirewallLook(FirewallStatus::NeedsAdmin).icon, "[!]");
    EXPECT_STREQ(style::ConnectionLook(ConnectionStatus::Connecting).label, "Connecting...");
    EXPECT_TRUE(Same(style::LogLevelColour(LogLevel::Info), style::white));
    EXPECT_TRUE(Same(style::LogLevelColour(LogLevel::Warning), style::yellow));
}

} // namespace
