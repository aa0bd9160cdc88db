// The lobby client: strict reply reading, the request wrapper and the stored list.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <iterator>

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

TEST(LobbyReply, ABadLobbyIsSkippedAndTheOthersKept)
{
    struct Case {
        const char* what;
        std::function<void(nlohmann::json&)> spoil;
        const char* reason; // part of the library's message for the skipped lobby
    };
    const std::vector<Case> cases = {
        {"hasPassword as a number", [](auto& l) { l["hasPassword"] = 0; }, "type must be boolean"},
        {"missing secondsSinceUpdate", [](auto& l) { l.erase("secondsSinceUpdate"); }, "secondsSinceUpdate"},
        {"id as a number", [](auto& l) { l["id"] = 5; }, "type must be string"},
        {"players not an array", [](auto& l) { l["players"] = "Ana"; }, "type must be array"},
        {"a player not a string", [](auto& l) { l["players"] = {"Ana", 3}; }, "type must be string"},
        {"port as a string", [](auto& l) { l["port"] = "7777"; }, "type must be number"},
        {"playerCount beyond int32", [](auto& l) { l["playerCount"] = 3000000000u; }, "out of range"},
        {"a lobby that is not an object", [](auto& l) { l = nlohmann::json::array(); }, "cannot use at() with array"},
    };
    for (const auto& c : cases) {
        auto bad = Lobby("bad");
        c.spoil(bad);
        auto parsed = Parse(Reply({Lobby("good"), bad, Lobby("also good")}));
        ASSERT_TRUE(parsed.success) << c.what << ": " << parsed.error;
        ASSERT_EQ(parsed.value.lobbies.size(), 2u) << c.what;
        EXPECT_EQ(parsed.value.lobbies[0].id, "good") << c.what;
        EXPECT_EQ(parsed.value.lobbies[1].id, "also good") << c.what;
        EXPECT_EQ(parsed.value.skipped, 1u) << c.what;
        EXPECT_THAT(parsed.value.firstSkipReason, HasSubstr(c.reason)) << c.what;
    }
}

// Ports go into the travel command: only a whole number 1-65535 makes a lobby joinable; other
// numbers keep it listed with the reason.
TEST(LobbyReply, PortsThatAreNoPortMakeTheLobbyUnjoinable)
{
    const struct {
        nlohmann::json port;
        std::int32_t stored;
        std::string unjoinable;
    } cases[] = {
        {7777, 7777, ""},
        {1, 1, ""},
        {65535, 65535, ""},
        {-1, -1, "its port -1 is not a whole number from 1 to 65535"},
        {0, 0, "its port 0 is not a whole number from 1 to 65535"},
        {65536, 65536, "its port 65536 is not a whole number from 1 to 65535"},
        {73313, 73313, "its port 73313 is not a whole number from 1 to 65535"},
        {true, 1, "its port true is not a whole number from 1 to 65535"},
        {1e30, 0, "its port 1e+30 is not a whole number from 1 to 65535"},
        {4.79e4, 47900, "its port 47900.0 is not a whole number from 1 to 65535"},
        {7777.9, 7777, "its port 7777.9 is not a whole number from 1 to 65535"},
        {18446744073709551615u, 0, "its port 18446744073709551615 is not a whole number from 1 to 65535"},
    };
    for (const auto& c : cases) {
        auto lobby = Lobby();
        lobby["port"] = c.port;
        auto parsed = Parse(Reply({lobby}));
        ASSERT_TRUE(parsed.success) << c.port << ": " << parsed.error;
        ASSERT_EQ(parsed.value.lobbies.size(), 1u) << c.port;
        EXPECT_EQ(parsed.value.lobbies[0].port, c.stored) << c.port;
        EXPECT_EQ(parsed.value.lobbies[0].unjoinable, c.unjoinable) << c.port;
        EXPECT_EQ(parsed.value.skipped, 0u) << c.port;
    }
}

// Names, maps, players and descriptions arrive cleaned: one line, bounded, a name never empty.
TEST(LobbyReply, TextsAreCleanedOnceWhenRead)
{
    const std::string marker = "\xC2\xB6";
    const struct {
        std::string name;
        std::string shown;
    } names[] = {
        {"", "(no name)"},
        {std::string("\0Evil", 5), marker + "Evil"},
        {"Chill Free Play\nFriday Night Scrims\nRumble Night",
         "Chill Free Play" + marker + "Friday Night Scrims" + marker + "Rumble Night"},
        {std::string(1 << 20, 'N'), std::string(125, 'N') + "..."},
        {"Caf\xc3\xa9 \"Lobby\" ##1", "Caf\xc3\xa9 \"Lobby\" ##1"},
    };
    std::vector<nlohmann::json> lobbies;
    for (const auto& n : names) {
        auto lobby = Lobby(n.name.substr(0, 8));
        lobby["name"] = n.name;
        lobby["map"] = n.name;
        lobbies.push_back(lobby);
    }
    auto huge = Lobby("huge");
    huge["description"] = std::string(1 << 16, 'd');
    huge["players"] = {std::string(300, 'p'), "Bo\tB"};
    lobbies.push_back(huge);
    auto parsed = Parse(Reply(lobbies));
    ASSERT_TRUE(parsed.success) << parsed.error;
    ASSERT_EQ(parsed.value.lobbies.size(), std::size(names) + 1);
    for (size_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(parsed.value.lobbies[i].name, names[i].shown) << i;
        EXPECT_EQ(parsed.value.lobbies[i].map, names[i].shown) << i;
    }
    const auto& last = parsed.value.lobbies.back();
    EXPECT_EQ(last.description, std::string(4093, 'd') + "...");
    EXPECT_THAT(last.players, ElementsAre(std::string(125, 'p') + "...", "Bo B"));
    // The 1 MB name and map, the description and the long player.
    EXPECT_EQ(parsed.value.textsShortened, 4u);
    // Ids and addresses are compared and checked, never shown: they stay as sent.
    EXPECT_EQ(parsed.value.lobbies[1].id, std::string("\0Evil", 5));
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
    // An element that is no lobby is the element's fault, not the document's.
    auto numbers = Parse("{\"lobbies\": [3]}");
    EXPECT_TRUE(numbers.success);
    EXPECT_EQ(numbers.value.skipped, 1u);
    EXPECT_THAT(numbers.value.firstSkipReason, HasSubstr("cannot use at() with number"));
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
    const std::string body = "{\"lobbies\": [] /* c */}";
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

    // A reply with bad entries replaces the list with its good ones and says what it left out.
    host.console.clearLines();
    auto broken = Lobby("broken");
    broken.erase("secondsSinceUpdate");
    auto odd = Lobby("c3");
    odd["name"] = std::string(200, 'x');
    odd["playerCount"] = -4;
    odd["secondsSinceUpdate"] = -1.5;
    odd["port"] = 1e30;
    Refresh(200, Reply({broken, odd, Lobby("d4"), nlohmann::json(7)}));
    EXPECT_THAT(Ids(), ElementsAre("c3", "d4"));
    EXPECT_THAT(host.console.lines(),
                ElementsAre("Skipped 2 lobby(s) of the lobby list that could not be read; the first: "
                            "[json.exception.out_of_range.403] key 'secondsSinceUpdate' not found",
                            "Shortened 1 text(s) of the lobby list that were longer than allowed"));
    stored = plugin->LobbyListingsSnapshot()->at(0);
    EXPECT_EQ(stored.name, std::string(125, 'x') + "...");
    EXPECT_EQ(stored.playerCount, 0); // counts below zero show as 0
    EXPECT_EQ(stored.secondsSinceUpdate, 0);
    EXPECT_EQ(stored.port, 0);
    EXPECT_EQ(stored.unjoinable, "its port 1e+30 is not a whole number from 1 to 65535");
    EXPECT_EQ(plugin->LobbyListingsSnapshot()->at(1).unjoinable, "");

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
