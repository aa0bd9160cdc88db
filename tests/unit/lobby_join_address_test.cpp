// Joining by address: the checks on what a player types or pastes, the command that reaches
// the game, the console's "kz join", and the recent addresses kept in kz_recent_addresses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "lobby/join_address.h"
#include "lobby/recent_addresses.h"
#include "plugin_fixture.h"
#include "plugin/matchbay.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kBadPort = "Not joined: the port must be a number from 1 to 65535";
constexpr const char* kBadHost = "Not joined: the host must be a plain host name or IPv4 address";
constexpr const char* kAddressSeparator = "Not joined: the address holds |, ?, # or a control character";
constexpr const char* kPasswordSeparator = "Not joined: the password holds |, ?, # or a control character";

struct JoinCase {
    const char* name;
    std::string address;
    std::string password;
    std::string expected; // the command sent, or the refusal when refused
    bool refused;
};

const JoinCase kCases[] = {
    {"host and port", "198.51.100.1:47900", "", "open 198.51.100.1:47900?Lan?Password=", false},
    {"host alone takes 7777", "lobby.example.org", "", "open lobby.example.org:7777?Lan?Password=", false},
    {"pasted with blanks and a line end", "  203.0.113.7:7777 \r\n", "pw", "open 203.0.113.7:7777?Lan?Password=pw", false},
    {"lowest and highest port", "a:1", "", "open a:1?Lan?Password=", false},
    {"highest port", "a:65535", "", "open a:65535?Lan?Password=", false},
    {"leading zeros", "a:007777", "", "open a:7777?Lan?Password=", false},
    {"password with spaces, as a lobby join takes it", "a:7777", "let me in", "open a:7777?Lan?Password=let me in", false},
    {"empty", "", "", lobby::kEnterAnAddress, true},
    {"blanks only", " \t\r\n", "", lobby::kEnterAnAddress, true},
    {"port zero", "a:0", "", kBadPort, true},
    {"port too high", "a:65536", "", kBadPort, true},
    {"port overflowing", "a:99999999999999999999", "", kBadPort, true},
    {"empty port", "a:", "", kBadPort, true},
    {"signed port", "a:+7777", "", kBadPort, true},
    {"port with words", "a:7777 x", "", kBadPort, true},
    {"second colon", "a:7777:1", "", kBadPort, true},
    {"no host", ":7777", "", kBadHost, true},
    {"IPv6", "[::1]:7777", "", kBadHost, true},
    {"space in the host", "a b:7777", "", kBadHost, true},
    {"semicolon", "1.2.3.4;quit", "", kBadHost, true},
    {"host longer than a DNS name", std::string(254, 'a') + ":7777", "", kBadHost, true},
    {"option in the address", "1.2.3.4?Listen", "", kAddressSeparator, true},
    {"second command", "1.2.3.4:7777|quit", "", kAddressSeparator, true},
    {"portal", "1.2.3.4#x", "", kAddressSeparator, true},
    {"line break inside", "1.2.3.4\nexit", "", kAddressSeparator, true},
    {"password with an option", "a:7777", "pw?Listen", kPasswordSeparator, true},
    {"password with a second command", "a:7777", "pw|quit", kPasswordSeparator, true},
    {"password with a portal", "a:7777", "pw#x", kPasswordSeparator, true},
    {"password with a line break", "a:7777", "pw\r\nexit", kPasswordSeparator, true},
    {"password with a delete character", "a:7777", "pw\x7f", kPasswordSeparator, true},
};

using JoinByAddress = kestrel::testing::LoadedPlugin;

TEST_F(JoinByAddress, ChecksAddressAndPasswordAndSendsTheLanTravelCommand)
{
    for (const JoinCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const size_t sentBefore = host.game.unrealCommands().size();
        host.console.clearLines();
        EXPECT_EQ(plugin->JoinAddress(c.address, c.password), !c.refused);
        host.game.runPosted();
        const std::vector<std::string> sent = host.game.unrealCommands();
        const matchbay::JoinStatus status = plugin->JoinAddressStatus();
        EXPECT_EQ(status.refused, c.refused);
        if (c.refused) {
            EXPECT_EQ(sent.size(), sentBefore);
            EXPECT_EQ(status.text, c.expected);
            EXPECT_THAT(host.console.lines(), ElementsAre(c.expected));
        } else {
            ASSERT_EQ(sent.size(), sentBefore + 1);
            EXPECT_EQ(sent.back(), c.expected);
            const std::string target = c.expected.substr(5, c.expected.find('?') - 5);
            EXPECT_EQ(status.text, "Joining " + target);
            // The password goes to the game only.
            EXPECT_THAT(host.console.lines(), ElementsAre("Joining " + target));
        }
    }
}

TEST_F(JoinByAddress, ConsoleJoinTakesAnAddressAndAnOptionalPassword)
{
    host.type("kz join 127.0.0.1:7777 secret");
    host.type("kz join lobby.example.org");
    host.type("kz join 1.2.3.4?Listen");
    host.type("kz join");
    host.type("kz join a b c");
    EXPECT_EQ(host.game.runPosted(), 2);
    EXPECT_THAT(host.game.unrealCommands(),
                ElementsAre("open 127.0.0.1:7777?Lan?Password=secret", "open lobby.example.org:7777?Lan?Password="));
    EXPECT_THAT(host.console.lines(),
                ElementsAre("Joining 127.0.0.1:7777", "Joining lobby.example.org:7777", kAddressSeparator,
                            "usage: kz join <host[:port]> [password]", "usage: kz join <host[:port]> [password]"));
}

TEST_F(JoinByAddress, RecentAddressesKeepTheLastFiveJoinedNewestFirst)
{
    for (const char* address : {"a:1", "b:2", "c:3", "a:1", "d:4", "e:5", "f:6", "bad:0"}) plugin->JoinAddress(address, "");
    EXPECT_THAT(plugin->RecentAddressesSnapshot(), ElementsAre("f:6", "e:5", "d:4", "a:1", "c:3"));
    EXPECT_EQ(host.console.findCvar("kz_recent_addresses")->value(), "f:6,e:5,d:4,a:1,c:3");
    const auto definition = host.console.cvarDefinition("kz_recent_addresses");
    ASSERT_TRUE(definition);
    EXPECT_TRUE(definition->saveToCfg);
}

TEST_F(JoinByAddress, ASavedValueThatDoesNotParseIsIgnoredWithOneLine)
{
    plugin->JoinAddress("a:1", "");
    host.console.clearLines();
    host.type("kz_recent_addresses \"b:2,1.2.3.4?Listen\"");
    EXPECT_THAT(host.console.lines(), ElementsAre("kz_recent_addresses: ignored a value that is not a list of host:port addresses"));
    EXPECT_THAT(plugin->RecentAddressesSnapshot(), ElementsAre("a:1"));
    host.type("kz_recent_addresses \"b, c:3\"");
    EXPECT_THAT(plugin->RecentAddressesSnapshot(), ElementsAre("b:7777", "c:3"));
}

TEST(RecentAddresses, ValuesReadAsAJoinWouldReadThem)
{
    struct Case {
        std::string value;
        std::optional<std::vector<std::string>> expected;
    };
    const Case cases[] = {
        {"", std::vector<std::string>{}},
        {"a:1", std::vector<std::string>{"a:1"}},
        {"a,a:7777,b:2", std::vector<std::string>{"a:7777", "b:2"}},
        {"a:1,b:2,c:3,d:4,e:5,f:6,g:7", std::vector<std::string>{"a:1", "b:2", "c:3", "d:4", "e:5"}},
        {"a:1,", std::nullopt},
        {",a:1", std::nullopt},
        {"a:1;b:2", std::nullopt},
        {"a:1,b|quit", std::nullopt},
        {"a:70000", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(lobby::ParseRecentAddresses(c.value), c.expected) << c.value;
    EXPECT_EQ(lobby::FormatRecentAddresses({"a:1", "b:2"}), "a:1,b:2");
}

} // namespace
