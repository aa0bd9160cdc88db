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
    const char* unusable[] = {
        "null", "{}", "[]", "not json", "[{\"ip\":\"A\",\"port\":7000,\"location\":\"EU\",\"domain\":\"d\"}]",
        "[{\"ip\":\"A\",\"port\":\"7000\",\"location\":\"EU\"}]",
        // One bad entry drops the whole reply, not only itself.
        "[{\"ip\":\"A\",\"port\":\"7000\",\"location\":\"EU\",\"domain\":\"d\"}, 5]",
        "[{\"ip\":\"A\",\"port\":\"7000\",\"location\":\"EU\",\"domain\":\"d\"}, {\"ip\":null}]",
        "\"text\"", "17",
    };
    for (const char* body : unusable) {
        auto parsed = hosted::ParseServerList(body);
        EXPECT_FALSE(parsed) << body;
    }
    AnswerServers(404, "[{\"ip\":\"A\",\"port\":\"7000\",\"location\":\"EU\",\"domain\":\"d\"}]");
    EXPECT_FALSE(plugin->ServerListLoaded());
    EXPECT_THAT(plugin->ServerListSnapshot()->serverLocations, IsEmpty());
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

TEST_F(HostingLists, BotDetailsFollowTheLineRulesAndKeyOrder)
{
    Details("Alpha", 200,
            "name = \"Alpha\"\n"
            "description = \"Plays it safe\"\r\n"
            "tags = [\"1v1\", \"teamplay\"]\n"
            "fun_fact = Its developer never sleeps\n"
            "developer = Someone\n"
            "fun_fact = Loves kickoffs\n"
            "description\n");
    auto details = plugin->BotDetailsSnapshot();
    EXPECT_EQ(details->botDescription, "description"); // a line without "=" gives the whole line
    EXPECT_EQ(details->botTags, " [\"1v1\", \"teamplay\"]");
    EXPECT_EQ(details->botDeveloper, " Someone");
    EXPECT_EQ(details->botFunFact, " Loves kickoffs");

    // "developer" is tested before "fun_fact"; a carriage return stays part of the value.
    Details("Beta", 200, "description = \"Quick\"\r\nfun_fact = the developer says hi");
    details = plugin->BotDetailsSnapshot();
    EXPECT_EQ(details->botDescription, " \"Quick\"\r");
    EXPECT_EQ(details->botDeveloper, " the developer says hi");
    EXPECT_EQ(details->botFunFact, " Loves kickoffs"); // kept from the previous bot
    EXPECT_EQ(details->botTags, " [\"1v1\", \"teamplay\"]");

    Details("Gamma", 404, "description = gone");
    EXPECT_EQ(plugin->BotDetailsSnapshot()->botDescription, " \"Quick\"\r");
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
        plugin->OnBotDetailsResponse(200, "description=" + n + "\ntags=" + n);
    }
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_THAT(plugin->ServerListSnapshot()->serverLocations, ElementsAre("1199", "1199"));
}

} // namespace
