// The demo hosting service on its own, and the development host using it through the
// Kestrel and RLBot Host tabs: request, join, controls, and the service's own record.
#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>

#include "devhost_process.h"

namespace devhost_test {
namespace {

using nlohmann::json;

const std::string kMain = "Kestrel - V1.2.0";
// The plugin's built-in hosting addresses point at the demo services' default port.
constexpr int kDefaultPort = 47801;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Lines(const std::vector<std::string>& lines)
{
    std::string script;
    for (const std::string& line : lines) script += line + "\n";
    return script;
}

struct Hosting {
    TempDir dir;
    int port;
    ChildProcess process;
    bool listening = false;

    explicit Hosting(int port)
        : port(port), process({KESTREL_DEMO_SERVICES_PATH, "--port", std::to_string(port), "--data-dir", (dir.path() / "services").string()})
    {
        listening = process.waitFor("demo-services: listening on", 10s);
    }
    ~Hosting() { process.terminate(); }

    json Get(const std::string& path, int port_ = 0)
    {
        httplib::Client client("127.0.0.1", port_ ? port_ : port);
        auto reply = client.Get(path.c_str());
        if (!reply) return json();
        return json{{"status", reply->status}, {"body", reply->body}};
    }
    json Record() { return json::parse(Get("/hosting/record")["body"].get<std::string>()); }
    int LocationPort(size_t index)
    {
        json servers = json::parse(Get("/servers")["body"].get<std::string>());
        return std::stoi(servers.at(index).at("port").get<std::string>());
    }
};

TEST(DemoHosting, ListsLocationsServersAndCommands)
{
    Hosting hosting(FreePort(false));
    ASSERT_TRUE(hosting.listening) << hosting.process.output();

    json servers = json::parse(hosting.Get("/servers")["body"].get<std::string>());
    ASSERT_EQ(servers.size(), 2u);
    for (const auto& server : servers) {
        EXPECT_EQ(server["ip"], "127.0.0.1");
        for (const char* key : {"ip", "port", "location", "domain"}) EXPECT_TRUE(server[key].is_string()) << server;
    }
    json bots = json::parse(hosting.Get("/api/botList2.json")["body"].get<std::string>());
    bool parenthesised = false, twoVersions = false;
    for (const auto& bot : bots) {
        if (bot.is_object()) {
            parenthesised |= bot["name"].get<std::string>().find('(') != std::string::npos;
            twoVersions |= bot["versions"].size() == 2;
        }
    }
    EXPECT_TRUE(parenthesised && twoVersions) << bots;
    const std::string toml = hosting.Get("/api/bots/Nexto/bot.toml")["body"];
    for (const char* key : {"description", "tags", "developer", "fun_fact"}) EXPECT_NE(toml.find(key), std::string::npos);
    EXPECT_EQ(hosting.Get("/api/bots/Nobody/bot.toml")["status"], 404);

    const int west = hosting.LocationPort(1); // one slot, two maps
    EXPECT_EQ(hosting.Get("/?mapName=Labs_Basin_P&gameMode=x", west)["body"], "Map not on server");
    const std::string reply = hosting.Get("/?mapName=Park_P&gameMode=TAGame.GameInfo_Soccar_TA&networkOptions=?NumPublicConnections=10?Lan", west)["body"];
    ASSERT_EQ(reply.rfind("127.0.0.1:", 0), 0u) << reply;
    const int gamePort = std::stoi(reply.substr(10));
    auto full = hosting.Get("/?mapName=Park_P", west);
    EXPECT_EQ(full["status"], 400);
    EXPECT_EQ(full["body"], "no free servers");
    auto answer = Exchange(gamePort, "status");
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, "kestrel-game-server\nVexa\nTidal");

    httplib::Client client("127.0.0.1", west);
    const int port = gamePort;
    const struct {
        json body;
        int status;
    } commands[] = {
        {{{"command", "lock"}, {"port", port}}, 200},
        {{{"command", "gs"}, {"player", 150}, {"port", port}}, 200},
        {{{"command", "kick"}, {"player", "Vexa"}, {"port", port}}, 200},
        {{{"command", "kick"}, {"player", "Vexa"}, {"port", port}}, 400},
        {{{"command", "explode"}, {"port", port}}, 400},
        {{{"command", "lock"}, {"port", port + 1}}, 404},
        {{{"command", "lock"}}, 400},
    };
    for (const auto& c : commands) {
        auto result = client.Post("/servercommand", c.body.dump(), "application/json");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, c.status) << c.body;
    }
    EXPECT_EQ(*Exchange(gamePort, "status"), "kestrel-game-server\nTidal");
    json record = hosting.Record();
    const json& server = record["locations"][1]["servers"][0];
    EXPECT_EQ(server["locked"], true);
    EXPECT_EQ(server["speed"], 150);
    EXPECT_EQ(server["players"].size(), 1u);
    // Raw network options arrive whole: everything after the first "?" is the query.
    EXPECT_EQ(record["records"][1]["detail"]["networkOptions"], "?NumPublicConnections=10?Lan") << record;
}

TEST(DevhostHosting, KestrelTabRequestsJoinsLocksAndKicks)
{
    Hosting hosting(kDefaultPort);
    if (!hosting.listening) GTEST_SKIP() << "the demo services' default port " << kDefaultPort << " is taken";
    const std::string tab = kMain + "/Tabs/Kestrel";
    const std::string controls = tab + "/KestrelSubTabs/Server Controls";
    auto run = RunScript(hosting.dir, Lines({
                                          "togglemenu matchbay",
                                          "sleep 500",
                                          "ui press " + Quoted(tab),
                                          "ui wait " + Quoted(kMain) + " \"Devhost East\" 20",
                                          "ui press " + Quoted(tab + "/Request Server"),
                                          "ui wait \"Server Details\" \"IP: \" 20",
                                          "ui press \"Server Details/Join\"",
                                          "ui press " + Quoted(controls),
                                          // The player list comes from the joined game server.
                                          "ui wait " + Quoted(kMain) + " Tidal 20",
                                          "ui press " + Quoted(controls + "/Lock"),
                                          "ui press " + Quoted(controls + "/PlayerList/Kick##Player0"),
                                          "sleep 1000",
                                      }));
    ASSERT_EQ(run.status, 0) << run.output;
    json record = hosting.Record();
    const json& server = record["locations"][0]["servers"].at(0);
    const std::string address = "127.0.0.1:" + std::to_string(server["port"].get<int>());
    EXPECT_NE(run.output.find("[game] start " + address + "/?Lan"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[game] joined online game at " + address), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Lock command sent successfully"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Kick command sent successfully"), std::string::npos) << run.output;
    EXPECT_EQ(server["locked"], true) << record;
    ASSERT_EQ(server["players"].size(), 1u) << record;
    EXPECT_EQ(server["players"][0]["name"], "Tidal") << record;
}

// A server requested on "Devhost East" stays controlled there after the combo moves to "Devhost
// West": the command reaches East's API, and West's never hears of it.
TEST(DevhostHosting, ControlsReachTheLocationTheServerCameFrom)
{
    Hosting hosting(kDefaultPort);
    if (!hosting.listening) GTEST_SKIP() << "the demo services' default port " << kDefaultPort << " is taken";
    const std::string tab = kMain + "/Tabs/Kestrel";
    const std::string controls = tab + "/KestrelSubTabs/Server Controls";
    auto run = RunScript(hosting.dir, Lines({
                                          "togglemenu matchbay",
                                          "sleep 500",
                                          "ui press " + Quoted(tab),
                                          "ui wait " + Quoted(kMain) + " \"Devhost East\" 20",
                                          "ui press " + Quoted(tab + "/Request Server"),
                                          "ui wait \"Server Details\" \"IP: \" 20",
                                          "ui press \"Server Details/Join\"",
                                          "ui pick " + Quoted(tab + "/KestrelSubTabs/Main/##ServerSelection") + " \"@1/Devhost West\"",
                                          "ui wait " + Quoted(kMain) + " \"Devhost West\" 20",
                                          "ui press " + Quoted(controls),
                                          "ui press " + Quoted(controls + "/Lock"),
                                          "ui press " + Quoted(controls + "/Pause"),
                                          "sleep 1000",
                                      }));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Lock command sent successfully"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Pause command sent successfully"), std::string::npos) << run.output;
    json record = hosting.Record();
    std::vector<std::string> commands;
    for (const auto& r : record["records"]) {
        if (r["kind"] != "command") continue;
        commands.push_back(r["location"].get<std::string>() + " " + r["detail"]["command"].get<std::string>() + " " +
                           std::to_string(r["detail"]["status"].get<int>()));
    }
    EXPECT_EQ(commands, (std::vector<std::string>{"Devhost East lock 200", "Devhost East pause 200"})) << record;
    const json& server = record["locations"][0]["servers"].at(0);
    EXPECT_EQ(server["locked"], true) << record;
    EXPECT_EQ(server["paused"], true) << record;
    EXPECT_TRUE(record["locations"][1]["servers"].empty()) << record;
}

TEST(DevhostHosting, BotMatchIsComposedRequestedAndJoined)
{
    Hosting hosting(kDefaultPort);
    if (!hosting.listening) GTEST_SKIP() << "the demo services' default port " << kDefaultPort << " is taken";
    const std::string tab = kMain + "/Tabs/RLBot Host";
    auto run = RunScript(hosting.dir, Lines({
                                          "togglemenu matchbay",
                                          "sleep 500",
                                          "ui press " + Quoted(tab),
                                          "ui wait " + Quoted(kMain) + " \"Devhost East\" 20",
                                          "ui pick " + Quoted(tab + "/##BotSelection") + " \"@1/Nexto (beta)\"",
                                          "ui pick " + Quoted(tab + "/##NestedBotSelection") + " @1/Nexto-old",
                                          "ui wait " + Quoted(kMain) + " \"The first release\" 20",
                                          "ui press " + Quoted(tab + "/Add to Blue Team"),
                                          "ui pick " + Quoted(tab + "/##BotSelection") + " @2/Kamikaze",
                                          "ui press " + Quoted(tab + "/Add to Orange Team"),
                                          "ui press " + Quoted(tab + "/Request Server"),
                                          "ui text \"Confirm Request\"",
                                          "ui press \"Confirm Request/Confirm\"",
                                          "ui wait \"Server Details\" \"IP: \" 20",
                                          "ui press \"Server Details/Join\"",
                                          "sleep 3000",
                                      }));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Description:  \"The first release, kept for nostalgia\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Blue Team Bots: 1"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[game] joined online game at 127.0.0.1:"), std::string::npos) << run.output;
    json record = hosting.Record();
    json request;
    for (const auto& r : record["records"])
        if (r["kind"] == "request") request = r["detail"];
    EXPECT_EQ(request["rlbot"], true) << record;
    EXPECT_EQ(request["blueBots"], json::array({"Nexto-old"})) << record;
    EXPECT_EQ(request["orangeBots"], json::array({"Kamikaze"})) << record;
    EXPECT_EQ(request["status"], 200) << record;
}

} // namespace
} // namespace devhost_test
