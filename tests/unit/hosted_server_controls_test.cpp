// Server command bodies, the result record of a request and the players offered for kicking.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "hosted/request_state.h"
#include "hosted/server_controls.h"
#include "plugin_fixture.h"

namespace {

using bakkesmod::host::PlayerRecord;
using ::testing::ElementsAre;

TEST(ServerCommandBody, CompactWithSortedKeys)
{
    const struct {
        std::string body;
        std::string expected;
    } cases[] = {
        {hosted::ServerCommandBody("lock", 7779), R"({"command":"lock","port":7779})"},
        {hosted::ServerCommandBody("restart", 7779), R"({"command":"restart","port":7779})"},
        {hosted::ServerCommandBody("pause", 7779), R"({"command":"pause","port":7779})"},
        {hosted::ServerCommandBody("gs", 7779, nlohmann::json(100)), R"({"command":"gs","player":100,"port":7779})"},
        {hosted::ServerCommandBody("kick", 7779, nlohmann::json("Ann \"A\" Lee")), R"({"command":"kick","player":"Ann \"A\" Lee","port":7779})"},
        {hosted::ServerCommandBody("lock", -1), R"({"command":"lock","port":-1})"},
        // A name that is not UTF-8 still goes out, each bad byte replaced.
        {hosted::ServerCommandBody("kick", 1, nlohmann::json(std::string("Bad\xff\xfeName"))),
         "{\"command\":\"kick\",\"player\":\"Bad\xEF\xBF\xBD\xEF\xBF\xBDName\",\"port\":1}"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.body, c.expected);
}

TEST(RequestState, FailuresAreNotServers)
{
    const struct {
        hosted::RequestResult result;
        bool server;
        std::string text;
    } cases[] = {
        {{"A", 7779}, true, ""},
        {{"127.0.0.1", 1}, true, ""},
        {{"error", -1}, false, "Failed to request server. Please try again."},
        {{"Invalid Server Map", -1}, false, "Failed to request server: Invalid Server Map"},
        {{"no free servers", -1}, false, "Failed to request server: no free servers"},
        {{"", -1}, false, "Failed to request server. Please try again."},
        {{"A", 0}, false, "Failed to request server: the service gave the port 0, which is not from 1 to 65535"},
        {{"A", 65536}, false, "Failed to request server: the service gave the port 65536, which is not from 1 to 65535"},
    };
    for (const auto& c : cases) {
        hosted::HostedRequestState state;
        ASSERT_TRUE(state.BeginRequest("east:1"));
        state.FinishRequest({"A", 7000}); // an earlier server
        ASSERT_TRUE(state.BeginRequest("west:2"));
        EXPECT_FALSE(state.BeginRequest("west:3"));
        ASSERT_TRUE(state.TakeSelectMainTab());
        state.FinishRequest(c.result);
        EXPECT_FALSE(state.RequestPending());
        EXPECT_TRUE(state.TakeShowServerDetails());
        EXPECT_FALSE(state.TakeShowServerDetails());
        EXPECT_EQ(state.TakeSelectMainTab(), c.server) << c.result.first;
        const auto view = state.View();
        EXPECT_EQ(view.failed, !c.server) << c.result.first;
        EXPECT_EQ(view.failureText, c.text);
        EXPECT_EQ(view.controlledPort, c.server ? c.result.second : 7000) << c.result.first;
        // The controls go where the server came from: a failure keeps the earlier server's location.
        EXPECT_EQ(view.controlledEndpoint, c.server ? "west:2" : "east:1") << c.result.first;
        EXPECT_TRUE(state.ServerActive());
    }
}

// A request that finishes while a frame is drawn can change whether the tab shows its sub-tab
// bar; its popup waits for a frame drawn with the layout the result brings.
TEST(RequestState, ServerDetailsWaitForAFrameDrawnWithTheResultsLayout)
{
    const struct {
        bool activeBefore;
        hosted::RequestResult result;
        bool activeAfter;
    } cases[] = {
        {false, {"A", 7000}, true},
        {false, {"error", -1}, false},
        {true, {"B", 7001}, true},
        {true, {"error", -1}, true},
    };
    for (const auto& c : cases) {
        hosted::HostedRequestState state;
        if (c.activeBefore) {
            state.FinishRequest({"A", 6000});
            ASSERT_TRUE(state.TakeShowServerDetails(true));
        }
        ASSERT_TRUE(state.BeginRequest("East"));
        state.FinishRequest(c.result);
        if (c.activeBefore != c.activeAfter) {
            EXPECT_FALSE(state.TakeShowServerDetails(c.activeBefore)) << c.result.first;
        }
        EXPECT_TRUE(state.TakeShowServerDetails(c.activeAfter)) << c.result.first;
        EXPECT_FALSE(state.TakeShowServerDetails(c.activeAfter)) << c.result.first;
    }
}

using PlayerNames = kestrel::testing::LoadedPlugin;

TEST_F(PlayerNames, OnlyNamedPeopleOfTheOnlineGame)
{
    std::vector<std::string> names{"kept"};
    plugin->CollectOnlinePlayerNames(names);
    EXPECT_THAT(names, ElementsAre("kept")); // outside an online game nothing changes

    host.game.setOnlineGame(std::vector<PlayerRecord>{{false, "Ann", false, false},
                                                      {true, "", false, false},
                                                      {false, "Bot", true, false},
                                                      {false, "Watcher", false, true},
                                                      {false, "", false, false},
                                                      {false, "Bo", false, false}});
    plugin->CollectOnlinePlayerNames(names);
    EXPECT_THAT(names, ElementsAre("Ann", "Bo"));
}

} // namespace
