// The lobby client: strict reply reading, the request wrapper and the stored list.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "plugin_fixture.h"
#include "lobby/http_utils.h"
#include "plugin/matchbay.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;
using rllobby_api::responses::GetAllLobbiesResponse;

nlohmann::json Lobby(const std::string& id = "a1")
{
    return {{"id", id},           {"name", "Friday Scrims"}, {"map", "Park_P"},       {"description", "casual"},
            {"playerCount", 3},   {"players", {"Ana", "Bo"}}, {"hasPassword", false}, {"ipAddress", "127.0.0.1"},
            {"port", 7777},       {"secondsSinceUpdate", 12}, {"extra", "ignored"}};
}

std::string Reply(std::vector<nlohmann::json> lobbies) { return nlohmann::json{{"lobbies", lobbies}}.dump(); }

http_utils::ParsedResponse<GetAllLobbiesResponse> Parse(const std::string& body)
{
    return http_utils::ParseResponse<GetAllLobbiesResponse>(body);
}

TEST(LobbyReply, ReadsEveryFieldInOrder)
{
    auto parsed = Parse(Reply({Lobby("a1"), Lobby("b2")}));
    ASSERT_TRUE(parsed.success) << parsed.error;
    EXPECT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.value.lobbies.size(), 2u);
    const auto& first = parsed.value.lobbies[0];
    EXPECT_EQ(first.id, "a1");
    EXPECT_EQ(first.name, "Friday Scrims");
    EXPECT_EQ(first.map, "Park_P");
    EXPECT_EQ(first.description, "casual");
    EXPECT_EQ(first.playerCount, 3);
    EXPECT_THAT(first.players, ElementsAre("Ana", "Bo"));
    EXPECT_FALSE(first.hasPassword);
    EXPECT_EQ(first.ipAddress, "127.0.0.1");
    EXPECT_EQ(first.port, 7777);
    EXPECT_EQ(first.secondsSinceUpdate, 12);
    EXPECT_EQ(parsed.value.lobbies[1].id, "b2");
}

TEST(LobbyReply, NumbersAcceptFloatsAndBooleans)
{
    auto lobby = Lobby();
    lobby["port"] = 7777.9;
    lobby["playerCount"] = true;
    lobby["secondsSinceUpdate"] = -3.7;
    auto parsed = Parse(Reply({lobby}));
    ASSERT_TRUE(parsed.success) << parsed.error;
    EXPECT_EQ(parsed.value.lobbies[0].port, 7777);
    EXPECT_EQ(parsed.value.lobbies[0].playerCount, 1);
    EXPECT_EQ(parsed.value.lobbies[0].secondsSinceUpdate, -3);
}

TEST(LobbyReply, OneBadLobbyRejectsTheWholeReply)
{
    struct Case {
        const char* what;
        std::function<void(nlohmann::json&)> spoil;
    };
    const std::vector<Case> cases = {
        {"hasPassword as a number", [](auto& l) { l["hasPassword"] = 0; }},
        {"missing secondsSinceUpdate", [](auto& l) { l.erase("secondsSinceUpdate"); }},
        {"id as a number", [](auto& l) { l["id"] = 5; }},
        {"players not an array", [](auto& l) { l["players"] = "Ana"; }},
        {"a player not a string", [](auto& l) { l["players"] = {"Ana", 3}; }},
        {"port as a string", [](auto& l) { l["port"] = "7777"; }},
        {"port beyond int32", [](auto& l) { l["port"] = 4294967296.0; }},
        {"playerCount beyond int32", [](auto& l) { l["playerCount"] = 3000000000u; }},
        {"a lobby that is not an object", [](auto& l) { l = nlohmann::json::array(); }},
    };
    for (const auto& c : cases) {
        auto bad = Lobby("bad");
        c.spoil(bad);
        const std::string body = Reply({Lobby("good"), bad});
        auto parsed = Parse(body);
        EXPECT_FALSE(parsed.success) << c.what;
        EXPECT_TRUE(parsed.value.lobbies.empty()) << c.what;
        EXPECT_THAT(parsed.error, StartsWith("Body was: " + body + "\n Exception: ")) << c.what;
    }
    auto missing = Lobby();
    missing.erase("secondsSinceUpdate");
    EXPECT_THAT(Parse(Reply({missing})).error, HasSubstr("secondsSinceUpdate"));
}

TEST(LobbyReply, DocumentShapeIsChecked)
{
    for (const char* body : {"", "not json", "[]", "{}", "{\"lobbies\": {}}", "{\"lobbies\": [] /* c */}",
                             "{\"lobbies\": []} trailing"}) {
        auto parsed = Parse(body);
        EXPECT_FALSE(parsed.success) << body;
        EXPECT_THAT(parsed.error, StartsWith(std::string("Body was: ") + body + "\n Exception: ")) << body;
    }
    EXPECT_TRUE(Parse("{\"lobbies\": []}").success);
    // Shape errors carry the JSON library's own wording, as every other conversion error does.
    EXPECT_THAT(Parse("{\"lobbies\": {}}").error, HasSubstr("type must be array, but is object"));
    EXPECT_THAT(Parse("{\"lobbies\": [3]}").error, HasSubstr("cannot use at() with number"));
    EXPECT_THAT(Parse("[]").error, HasSubstr("cannot use at() with array"));
}

struct LobbyFetch : kestrel::testing::LoadedPlugin {
    // Sends one Refresh and answers it from another thread, as the host does.
    void Refresh(int status, const std::string& body)
    {
        const size_t index = host.http->requests().size();
        plugin->ApiGetMatches();
        ASSERT_TRUE(host.http->waitForRequests(index + 1));
        host.http->respondFromThread(index, status, body);
        host.http->waitForAnswers();
    }
    std::vector<std::string> Ids()
    {
        std::vector<std::string> ids;
        for (const auto& listing : *plugin->LobbyListingsSnapshot()) ids.push_back(listing.id);
        return ids;
    }
};

TEST_F(LobbyFetch, RequestGoesToTheEndpointAsJsonGet)
{
    const size_t before = host.http->requests().size(); // the start-up requests of onLoad
    plugin->ApiGetMatches();
    auto requests = host.http->requests();
    ASSERT_EQ(requests.size(), before + 1);
    EXPECT_EQ(requests[before].request.url, plugin->CurrentLobbyApi()->BaseAddress() + "/lobby");
    EXPECT_EQ(requests[before].request.verb, "GET");
    EXPECT_TRUE(requests[before].request.headers.empty());
    EXPECT_EQ(requests[before].request.body, "");
    EXPECT_TRUE(requests[before].json);
}

TEST_F(LobbyFetch, EndpointChangeSendsTheNextRefreshToTheNewAddress)
{
    host.type("kzlobby_endpoint http://127.0.0.1:8123/rllobby");
    plugin->ApiGetMatches();
    EXPECT_EQ(host.http->requests().back().request.url, "http://127.0.0.1:8123/rllobby/lobby");
}

TEST_F(LobbyFetch, SuccessReplacesTheListAndFailuresKeepIt)
{
    Refresh(200, Reply({Lobby("a1"), Lobby("b2")}));
    EXPECT_THAT(Ids(), ElementsAre("a1", "b2"));
    auto stored = plugin->LobbyListingsSnapshot()->at(0);
    EXPECT_EQ(stored.name, "Friday Scrims");
    EXPECT_EQ(stored.ipAddress, "127.0.0.1");
    EXPECT_EQ(stored.port, 7777);
    EXPECT_EQ(stored.map, "Park_P");
    EXPECT_EQ(stored.playerCount, 3);
    EXPECT_EQ(stored.secondsSinceUpdate, 12);
    EXPECT_THAT(host.console.lines(), IsEmpty());

    Refresh(500, "oops");
    EXPECT_THAT(host.console.lines(), ElementsAre("Request failed(500): oops"));
    EXPECT_THAT(Ids(), ElementsAre("a1", "b2"));

    host.console.clearLines();
    Refresh(-1, "");
    EXPECT_THAT(host.console.lines(), ElementsAre("Request failed(-1): "));

    host.console.clearLines();
    auto broken = Lobby();
    broken.erase("secondsSinceUpdate");
    const std::string body = Reply({broken});
    Refresh(200, body);
    ASSERT_EQ(host.console.lines().size(), 1u);
    EXPECT_THAT(host.console.lines()[0], StartsWith("Body was: " + body + "\n Exception: "));
    EXPECT_THAT(Ids(), ElementsAre("a1", "b2"));

    // A huge rejected reply is quoted by its first KiB only, on both kinds of failure line.
    host.console.clearLines();
    const std::string huge = "{\"lobbies\": [" + std::string(600000, ' ') + "x]}";
    Refresh(200, huge);
    Refresh(502, huge);
    ASSERT_EQ(host.console.lines().size(), 2u);
    const std::string leftOut = "... (" + std::to_string(huge.size() - 1024) + " more bytes left out)";
    EXPECT_THAT(host.console.lines()[0], StartsWith("Body was: " + huge.substr(0, 1024) + leftOut + "\n Exception: "));
    EXPECT_EQ(host.console.lines()[1], "Request failed(502): " + huge.substr(0, 1024) + leftOut);
    EXPECT_THAT(Ids(), ElementsAre("a1", "b2"));

    Refresh(200, "{\"lobbies\": []}");
    EXPECT_THAT(Ids(), IsEmpty());
}

TEST_F(LobbyFetch, AnswerAfterThePluginIsGoneIsDropped)
{
    const size_t index = host.http->requests().size();
    plugin->ApiGetMatches();
    std::weak_ptr<matchbay> watch = plugin;
    plugin.reset();
    ASSERT_TRUE(watch.expired());
    // Nothing left to write into: the answer must neither crash nor log.
    host.http->respond(index, 200, Reply({Lobby()}));
    EXPECT_THAT(host.console.lines(), IsEmpty());
}

TEST(RequestWrapper, RoutesTheStatusToOneCallback)
{
    kestrel::testing::FakeHost host;
    int successes = 0;
    std::vector<std::string> errors;
    CurlRequest request;
    request.url = "http://127.0.0.1:1/servercommand";
    request.verb = "POST";
    request.body = "{}";
    http_utils::HandleRequest(200, request, [&] { ++successes; }, [&](std::string e) { errors.push_back(e); });
    http_utils::HandleRequest(200, request, [&] { ++successes; }, [&](std::string e) { errors.push_back(e); });
    http_utils::HandleRequest(200, request, nullptr, nullptr);
    auto sent = host.http->requests();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].request.url, request.url);
    EXPECT_EQ(sent[0].request.verb, "POST");
    EXPECT_EQ(sent[0].request.body, "{}");
    EXPECT_TRUE(sent[0].json);
    host.http->respond(0, 200, "ignored");
    host.http->respond(1, 404, "not here");
    host.http->respond(2, 404, "nobody listens"); // no callbacks set: nothing thrown
    EXPECT_EQ(successes, 1);
    EXPECT_THAT(errors, ElementsAre("Request failed(404): not here"));
}

} // namespace
