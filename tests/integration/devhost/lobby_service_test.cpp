// The demo lobby service: the reply the plugin's strict reader expects, the local listen
// server among the built-in lobbies, and generated lists for load tests.
#include <gtest/gtest.h>
#include <httplib.h>

#include <set>

#include <nlohmann/json.hpp>

#include "devhost_process.h"

namespace devhost_test {
namespace {

using nlohmann::json;

struct Services {
    TempDir dir;
    int port = FreePort(false);
    ChildProcess process;

    explicit Services(std::vector<std::string> extra = {})
        : process([&] {
              std::vector<std::string> args{KESTREL_DEMO_SERVICES_PATH, "--port", std::to_string(port), "--data-dir",
                                            (dir.path() / "services").string()};
              args.insert(args.end(), extra.begin(), extra.end());
              return args;
          }())
    {
    }
    ~Services() { process.terminate(); }

    std::string lobbyBody()
    {
        if (!process.waitFor("demo-services: listening on")) return {};
        httplib::Client client("127.0.0.1", port);
        auto reply = client.Get("/rllobby/lobby");
        if (!reply || reply->status != 200) return {};
        EXPECT_EQ(reply->get_header_value("Content-Type"), "application/json");
        return reply->body;
    }
};

// Every key the plugin requires, with the JSON type it requires.
void ExpectLobbySchema(const json& lobby)
{
    ASSERT_TRUE(lobby.is_object()) << lobby;
    for (const char* key : {"id", "name", "map", "description", "ipAddress"}) {
        ASSERT_TRUE(lobby.contains(key) && lobby[key].is_string()) << key << " in " << lobby;
    }
    for (const char* key : {"playerCount", "port", "secondsSinceUpdate"}) {
        ASSERT_TRUE(lobby.contains(key) && lobby[key].is_number_integer()) << key << " in " << lobby;
    }
    ASSERT_TRUE(lobby.contains("hasPassword") && lobby["hasPassword"].is_boolean()) << lobby;
    ASSERT_TRUE(lobby.contains("players") && lobby["players"].is_array()) << lobby;
    for (const json& player : lobby["players"]) EXPECT_TRUE(player.is_string()) << lobby;
    EXPECT_EQ(lobby["playerCount"].get<size_t>(), lobby["players"].size()) << lobby;
    EXPECT_GT(lobby["port"].get<int>(), 0) << lobby;
    EXPECT_LT(lobby["port"].get<int>(), 65536) << lobby;
}

TEST(DemoLobby, BuiltInLobbiesAreDistinctAndOneIsTheLocalListenServer)
{
    Services services;
    const json reply = json::parse(services.lobbyBody(), nullptr, false);
    ASSERT_TRUE(reply.is_object() && reply.contains("lobbies") && reply["lobbies"].is_array()) << reply;
    const json& lobbies = reply["lobbies"];
    EXPECT_GE(lobbies.size(), 5u);
    EXPECT_LE(lobbies.size(), 8u);
    std::set<std::string> ids, names, maps;
    int local = 0;
    for (const json& lobby : lobbies) {
        ExpectLobbySchema(lobby);
        ids.insert(lobby["id"].get<std::string>());
        names.insert(lobby["name"].get<std::string>());
        maps.insert(lobby["map"].get<std::string>());
        const std::string map = lobby["map"];
        EXPECT_EQ(map.substr(map.size() - 2), "_P") << map;
        if (lobby["ipAddress"] == "127.0.0.1" && lobby["port"] == 7777) ++local;
    }
    EXPECT_EQ(ids.size(), lobbies.size());
    EXPECT_EQ(names.size(), lobbies.size());
    EXPECT_EQ(maps.size(), lobbies.size());
    EXPECT_EQ(local, 1);
}

TEST(DemoLobby, GeneratedListsHaveTheAskedSizeAndAreTheSameEveryRun)
{
    Services first({"--lobbies", "1500"});
    Services second({"--lobbies", "1500"});
    const std::string body = first.lobbyBody();
    EXPECT_EQ(body, second.lobbyBody());
    const json reply = json::parse(body, nullptr, false);
    ASSERT_TRUE(reply.is_object()) << body.substr(0, 200);
    const json& lobbies = reply["lobbies"];
    ASSERT_EQ(lobbies.size(), 1500u);
    std::set<std::string> ids;
    for (const json& lobby : lobbies) {
        ExpectLobbySchema(lobby);
        ids.insert(lobby["id"].get<std::string>());
    }
    EXPECT_EQ(ids.size(), 1500u);

    Services none({"--lobbies", "0"});
    EXPECT_EQ(none.lobbyBody(), R"({"lobbies":[]})");
}

TEST(DemoServices, BadOptionsAreRefusedBeforeListening)
{
    const struct {
        const char* option;
        const char* value;
        std::string message;
    } cases[] = {
        {"--lobbies", "-1", "--lobbies needs a number from 0 to 100000, not '-1'"},
        {"--lobbies", "many", "--lobbies needs a number from 0 to 100000, not 'many'"},
        {"--lobbies", "100001", "--lobbies needs a number from 0 to 100000, not '100001'"},
        {"--lobbies", "12x", "--lobbies needs a number from 0 to 100000, not '12x'"},
        {"--download-rate", "-5", "--download-rate needs KiB per second from 0 to 1048576, not '-5'"},
        {"--proxy", "NoAddress", "--proxy needs NAME=ADDRESS:PORT[:TOKEN] with a port from 1 to 65535, not 'NoAddress'"},
        {"--proxy", "=1.2.3.4:7000", "--proxy needs NAME=ADDRESS:PORT[:TOKEN] with a port from 1 to 65535, not '=1.2.3.4:7000'"},
        {"--proxy", "P=1.2.3.4:70000:t", "--proxy needs NAME=ADDRESS:PORT[:TOKEN] with a port from 1 to 65535, not 'P=1.2.3.4:70000:t'"},
    };
    for (const auto& c : cases) {
        ChildProcess services({KESTREL_DEMO_SERVICES_PATH, "--port", "0", c.option, c.value});
        EXPECT_EQ(services.wait(10s), 2) << c.value;
        EXPECT_NE(services.output().find(c.message), std::string::npos) << services.output();
    }
    for (const char* option : {"--lobbies", "--proxy", "--download-rate"}) {
        ChildProcess missing({KESTREL_DEMO_SERVICES_PATH, option});
        EXPECT_EQ(missing.wait(10s), 2);
        EXPECT_NE(missing.output().find(std::string(option) + " needs a value"), std::string::npos) << missing.output();
    }
}

} // namespace
} // namespace devhost_test
