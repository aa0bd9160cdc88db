// The hosting service's server list, bot list and bot descriptions, as the plugin reads them.
#include <atomic>
#include <regex>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <kestrel/build_config.h>

#include "hosted/hosting_lists.h"
#include "plugin_fixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct HostingLists : kestrel::testing::LoadedPlugin {
    // onLoad sent the server list request (0) and the bot list request (1).
    void AnswerServers(int status, const std::string& body) { host.http->respond(0, status, body); }
    void AnswerBots(int status, const std::string& body) { host.http->respond(1, status, body); }
    void Details(const std::string& bot, int status, const std::string& body)
    {
        const size_t index = host.http->requests().size();
        plugin->FetchBotDetails(bot);
        host.http->respond(index, status, body);
    }
};

TEST_F(HostingLists, StartUpAsksForTheServerListFirstThenTheBots)
{
    auto sent = host.http->requests();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_THAT(sent[0].request.url, ::testing::EndsWith("/servers"));
    EXPECT_THAT(sent[0].request.url, ::testing::StartsWith("http://"));
    EXPECT_EQ(sent[1].request.url, std::string(KESTREL_BOT_CATALOGUE_HOST) + "/api/botList2.json");
    EXPECT_FALSE(plugin->ServerListLoaded());
    EXPECT_EQ(plugin->BotNameCount(), 0u);
}

TEST_F(HostingLists, ServerListRepliesThatAreUnusableLeaveItUnloaded)
{
    for (const char* body : {"null", "{}", "[]", "not json", "\"text\"", "17"}) EXPECT_FALSE(hosted::ParseServerList(body)) << body;
    AnswerServers(404, "[{\"ip\":\"A\",\"port\":\"7000\",\"location\":\"EU\",\"domain\":\"d\"}]");
    EXPECT_FALSE(plugin->ServerListLoaded());
    EXPECT_THAT(plugin->ServerListSnapshot()->serverLocations, IsEmpty());
}

// A bad entry is left out and counted; the others stay. The endpoint goes into request addresses
// and log lines, so it must be a plain host name or IPv4 address and a port.
TEST_F(HostingLists, ServerListEntriesWithoutAUsableEndpointAreSkipped)
{
    const std::string good = R"({"ip":"127.0.0.1","port":"47802","location":"East","domain":"d"})";
    const struct {
        const char* what;
        std::string entry;
    } bad[] = {
        {"port as a number", R"({"ip":"A","port":7000,"location":"EU","domain":"d"})"},
        {"no domain", R"({"ip":"A","port":"7000","location":"EU"})"},
        {"not an object", "5"},
        {"ip null", R"({"ip":null,"port":"7000","location":"EU","domain":"d"})"},
        {"ip with a separator", R"({"ip":"127.0.0.1|quit","port":"7000","location":"EU","domain":"d"})"},
        {"ip with a path", R"({"ip":"a/b","port":"7000","location":"EU","domain":"d"})"},
        {"ip too long", R"({"ip":")" + std::string(254, 'a') + R"(","port":"7000","location":"EU","domain":"d"})"},
        {"empty ip", R"({"ip":"","port":"7000","location":"EU","domain":"d"})"},
        {"port with a path", R"({"ip":"A","port":"47801/../x?y=1#","location":"EU","domain":"d"})"},
        {"port 0", R"({"ip":"A","port":"0","location":"EU","domain":"d"})"},
        {"port 65536", R"({"ip":"A","port":"65536","location":"EU","domain":"d"})"},
        {"port with a sign", R"({"ip":"A","port":"+7000","location":"EU","domain":"d"})"},
        {"empty port", R"({"ip":"A","port":"","location":"EU","domain":"d"})"},
    };
    for (const auto& c : bad) {
        auto parsed = hosted::ParseServerList("[" + good + "," + c.entry + "," + good + "]");
        ASSERT_TRUE(parsed) << c.what;
        EXPECT_THAT(parsed->serverEndpoints, ElementsAre("127.0.0.1:47802", "127.0.0.1:47802")) << c.what;
        EXPECT_EQ(parsed->skipped, 1u) << c.what;
    }
    // The longest host name and the highest port still make an endpoint.
    auto edge = hosted::ParseServerList(R"([{"ip":")" + std::string(253, 'a') + R"(","port":"65535","location":"L","domain":""}])");
    ASSERT_TRUE(edge);
    EXPECT_THAT(edge->serverEndpoints, ElementsAre(std::string(253, 'a') + ":65535"));

    // Only bad entries: nothing usable, nothing loaded, and the log says why.
    AnswerServers(200, "[" + std::string(bad[0].entry) + "," + bad[4].entry + "]");
    EXPECT_FALSE(plugin->ServerListLoaded());
    EXPECT_THAT(host.console.lines(),
                ElementsAre("Skipped 2 location(s) of the server list without a usable name, address and port"));
}

// Locations are names: one line, bounded, never empty (an empty one once aborted the combo).
TEST_F(HostingLists, LocationsAndBotNamesAreCleaned)
{
    AnswerServers(200, R"([{"ip":"A","port":"1","location":"","domain":""},
                           {"ip":"B","port":"2","location":"\u0000West","domain":""},
                           {"ip":"C","port":"3","location":"Two\nLines","domain":""},
                           {"ip":"D","port":"4","location":")" + std::string(1000, 'L') + R"(","domain":""}])");
    ASSERT_TRUE(plugin->ServerListLoaded());
    EXPECT_THAT(plugin->ServerListSnapshot()->serverLocations,
                ElementsAre("(no name)", "\xC2\xB6West", "Two\xC2\xB6Lines", std::string(125, 'L') + "..."));
    AnswerBots(200, R"j(["", "\u0000Nul", {"name":"A\tB","versions":["", "v\r\n2"]}, ")j" + std::string(200, 'b') + "\"]");
    EXPECT_THAT(plugin->BotNamesSnapshot(), ElementsAre("(no name)", "\xC2\xB6Nul", "A B", std::string(125, 'b') + "..."));
    EXPECT_THAT(plugin->BotVersionsSnapshot()->at("A B"), ElementsAre("(no name)", "v\xC2\xB6" "2"));
    EXPECT_THAT(host.console.lines(), ElementsAre("Shortened 1 text(s) of the server list that were longer than allowed",
                                                  "Shortened 1 text(s) of the bot list that were longer than allowed"));
}

TEST_F(HostingLists, ServerListGivesLocationsAndEndpointsInOrder)
{
    AnswerServers(200, R"([{"ip":"A","port":"7000","location":"EU","domain":"x"},
                           {"ip":"127.0.0.1","port":"47802","location":"US","domain":"y"}])");
    EXPECT_TRUE(plugin->ServerListLoaded());
    EXPECT_THAT(plugin->ServerListSnapshot()->serverLocations, ElementsAre("EU", "US"));
    EXPECT_THAT(plugin->ServerListSnapshot()->serverEndpoints, ElementsAre("A:7000", "127.0.0.1:47802"));

    // An object of entries is read in key order.
    auto keyed = hosted::ParseServerList(R"({"b":{"ip":"B","port":"2","location":"Second","domain":""},
                                             "a":{"ip":"A","port":"1","location":"First","domain":""}})");
    ASSERT_TRUE(keyed);
    EXPECT_THAT(keyed->serverLocations, ElementsAre("First", "Second"));
}

TEST_F(HostingLists, MixedBotListKeepsNamesInOrderAndVersionsOfObjects)
{
    AnswerBots(200, R"j(["Alpha", {"name":"Beta","versions":["Beta","Beta (old)"]}, 5])j");
    EXPECT_THAT(plugin->BotNamesSnapshot(), ElementsAre("Alpha", "Beta"));
    auto versions = plugin->BotVersionsSnapshot();
    ASSERT_EQ(versions->size(), 1u);
    EXPECT_THAT(versions->at("Beta"), ElementsAre("Beta", "Beta (old)"));

    for (const char* body : {"{}", "[]", "null", "[{\"name\":\"C\",\"versions\":\"C\"}]", "[{\"name\":\"C\",\"versions\":[1]}]",
                             "[{\"versions\":[]}]", "[1, 2"}) {
        EXPECT_FALSE(hosted::ParseBotList(body)) << body;
        const size_t index = host.http->requests().size();
        plugin->SendBotListRequest();
        host.http->respond(index, 200, body);
        EXPECT_THAT(plugin->BotNamesSnapshot(), ElementsAre("Alpha", "Beta")) << body;
    }
    // Only other types are skipped: a list of them gives no bots.
    EXPECT_THAT(hosted::ParseBotList("[5, true]")->names, IsEmpty());
}

TEST_F(HostingLists, BotDetailsFollowTheLineRules)
{
    const struct {
        const char* what;
        std::string body;
        hosted::BotDetails expected;
    } cases[] = {
        {"the four keys, in any order, values as written",
         "[Details]\nname = \"Alpha\"\nfun_fact = Loves kickoffs\ntags = [\"1v1\", \"teamplay\"]\n"
         "description = \"Plays it safe\"\ndeveloper = Someone\n",
         {0, " \"Plays it safe\"", " [\"1v1\", \"teamplay\"]", " Someone", " Loves kickoffs"}},
        // A key is a key only at the start of its line, followed by "=".
        {"words inside other lines",
         "developer = \"Ann, who wrote the description parser\"\ngithub = \"https://example.org/fun_fact-bot\"\n"
         "  # tags = not a key\nfun_facts = no\ndescription\ntags",
         {0, "", "", " \"Ann, who wrote the description parser\"", ""}},
        {"blanks before the key and the equals sign, a CR LF line end, the later line wins",
         "  description\t= first\r\n\tdescription = \"second\"\r\ntags=[]\r\n",
         {0, " \"second\"", "[]", "", ""}},
        {"control characters shown, a long value cut",
         "fun_fact = a\x1b[31mred\ndeveloper = " + std::string(5000, 'd'),
         {0, "", "", " " + std::string(4092, 'd') + "...", " a\xC2\xB6[31mred"}},
        {"nothing known", "", {}},
    };
    for (const auto& c : cases) {
        const auto details = hosted::ParseBotDetails(c.body);
        EXPECT_EQ(details.botDescription, c.expected.botDescription) << c.what;
        EXPECT_EQ(details.botTags, c.expected.botTags) << c.what;
        EXPECT_EQ(details.botDeveloper, c.expected.botDeveloper) << c.what;
        EXPECT_EQ(details.botFunFact, c.expected.botFunFact) << c.what;
    }
}

// Kamikaze, then Atlas, then Kamikaze again while Atlas's file is slow: what shows is Kamikaze's
// own, and a field its file lacks stays empty rather than keeping another bot's.
TEST_F(HostingLists, BotDetailsBelongToTheBotAskedForLast)
{
    const auto fetch = [&](const std::string& bot) {
        const size_t index = host.http->requests().size();
        plugin->FetchBotDetails(bot);
        return index;
    };
    const size_t kamikaze = fetch("Kamikaze");
    host.http->respond(kamikaze, 200, "description = Goes for every ball\nfun_fact = Own goals\n");
    EXPECT_EQ(plugin->BotDetailsSnapshot()->botFunFact, " Own goals");

    const size_t atlas = fetch("Atlas");
    // Asking for another bot clears what was shown at once.
    EXPECT_EQ(plugin->BotDetailsSnapshot()->botDescription, "");
    const size_t again = fetch("Kamikaze");
    host.http->respond(again, 200, "description = Goes for every ball, always\n");
    host.http->respond(atlas, 200, "description = Holds the back post\ndeveloper = Juniper\nfun_fact = Never demos\n");
    auto details = plugin->BotDetailsSnapshot();
    EXPECT_EQ(details->botDescription, " Goes for every ball, always");
    EXPECT_EQ(details->botDeveloper, "");
    EXPECT_EQ(details->botFunFact, ""); // not the earlier answer's, nor Atlas's

    // A failed fetch leaves no other bot's details behind either.
    host.http->respond(fetch("Nobody"), 404, "no such bot");
    EXPECT_EQ(plugin->BotDetailsSnapshot()->botDescription, "");
}

TEST_F(HostingLists, FetchBotDetailsCleansAndEncodesTheName)
{
    const struct {
        std::string name;
        std::string path;
    } cases[] = {
        {"Alpha (beta)", "Alpha"},
        {"A (x) B", "AB"},
        {"Necto-2_v.1", "Necto-2_v.1"},
        {"(only)", ""},
        {"Two Words", "Two%20Words"},
        {"../../admin?x=1#", "..%2F..%2Fadmin%3Fx%3D1%23"},
    };
    for (const auto& c : cases) {
        host.console.clearLines();
        const size_t index = host.http->requests().size();
        plugin->FetchBotDetails(c.name);
        const std::string address = std::string(KESTREL_BOT_CATALOGUE_HOST) + "/api/bots/" + c.path + "/bot.toml";
        EXPECT_EQ(host.http->requests().at(index).request.url, address) << c.name;
        EXPECT_THAT(host.console.lines(), ElementsAre(address));
        host.http->respond(index, 404, "");
    }
    // The same result as the regular expression it stands for.
    const std::regex parenthesised(R"(\s*\([^)]*\)\s*)", std::regex::ECMAScript);
    for (const std::string name : {"Alpha (beta)", "A  (x)  B (y)", "No parts", "Open (never closed", "a)b(c)d", "((x)) y",
                                   " \t(lead) trail ", "x (a\nb) y", "(", ")", "", "  ", "a ( ) (b)c ( d", "é (ü) ß"}) {
        EXPECT_EQ(hosted::CleanBotName(name), std::regex_replace(name, parenthesised, "")) << name;
    }
}

TEST_F(HostingLists, ReadersSeeOldOrCompleteNewLists)
{
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop) {
            auto servers = plugin->ServerListSnapshot();
            if (servers->serverLocations.size() != servers->serverEndpoints.size()) ++torn;
            for (const auto& location : servers->serverLocations)
                if (location.size() != 4) ++torn; // every published name has four letters
            auto names = plugin->BotNamesSnapshot();
            auto versions = plugin->BotVersionsSnapshot();
            auto details = plugin->BotDetailsSnapshot();
            if (details->botDescription.size() != details->botTags.size()) ++torn;
        }
    });
    for (int i = 0; i < 200; ++i) {
        const std::string n = std::to_string(1000 + i);
        plugin->OnServerListResponse(200, "[{\"ip\":\"A\",\"port\":\"" + n + "\",\"location\":\"" + n +
                                              "\",\"domain\":\"\"},{\"ip\":\"B\",\"port\":\"1\",\"location\":\"" + n + "\",\"domain\":\"\"}]");
        plugin->OnBotListResponse(200, "[\"" + n + "\", {\"name\":\"V\",\"versions\":[\"" + n + "\"]}]");
        plugin->OnBotDetailsResponse(0, 200, "description=" + n + "\ntags=" + n); // 0: no fetch was made
    }
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_THAT(plugin->ServerListSnapshot()->serverLocations, ElementsAre("1199", "1199"));
}

} // namespace
