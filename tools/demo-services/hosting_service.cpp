// The hosting service stand-in: the server list, the bot catalogue and two locations, each
// with an API of its own (on the next two ports) that starts simulated game servers and
// takes server commands. GET /hosting/record shows what was requested and done, for tests
// and for a person checking that a command arrived.
#include <httplib.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "game_server.h"
#include "plain_http.h"
#include "service.h"

namespace demo {

namespace {

using nlohmann::json;

struct Bot {
    bool listed; // in the bot list; versions are only described
    std::string name;
    std::vector<std::string> versions;
    std::string toml;
};

const std::vector<Bot>& Bots()
{
    static const std::vector<Bot> bots = {
        {true, "Atlas", {}, "[Details]\ndescription = \"Holds the back post and waits for mistakes\"\ntags = [\"1v1\", \"defence\"]\ndeveloper = Juniper Labs\nfun_fact = Never once went for a demo\n"},
        {true, "Nexto (beta)", {"Nexto", "Nexto-old"}, ""},
        {false, "Nexto", {}, "[Details]\ndescription = \"Learned by playing itself for a year\"\ntags = [\"teamplay\", \"machine learning\"]\ndeveloper = Orbit\nfun_fact = Its developer still loses to it\n"},
        {false, "Nexto-old", {}, "[Details]\ndescription = \"The first release, kept for nostalgia\"\ntags = [\"teamplay\"]\ndeveloper = Orbit\n"},
        {true, "Kamikaze", {}, "[Details]\ndescription = \"Goes for every ball, always\"\ntags = [\"chaos\"]\ndeveloper = Tidal\nfun_fact = Holds the record for own goals\n"},
    };
    return bots;
}

struct Record {
    std::string location;
    std::string kind; // "request" or "command"
    json detail;
};

struct Location {
    std::string name;
    std::string domain;
    std::set<std::string> maps;
    size_t slots = 0;
    int apiPort = 0;
    std::vector<std::unique_ptr<GameServer>> servers;
};

class HostingState {
public:
    std::mutex mutex;
    std::vector<Location> locations;
    std::vector<Record> records;

    GameServer* Find(Location& location, int port)
    {
        for (auto& server : location.servers)
            if (server->port() == port) return server.get();
        return nullptr;
    }
};

std::vector<std::string> SplitBots(const std::string& text)
{
    std::vector<std::string> names;
    size_t start = 0;
    while (start < text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        if (comma > start) names.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return names;
}

std::string Param(const PlainRequest& request, const std::string& name)
{
    auto found = request.query.find(name);
    return found == request.query.end() ? std::string() : found->second;
}

PlainResponse ServeRequest(HostingState& state, size_t index, const PlainRequest& request)
{
    PlainResponse response;
    std::lock_guard<std::mutex> lock(state.mutex);
    Location& location = state.locations[index];
    const std::string map = Param(request, "mapName");
    const bool rlbot = Param(request, "rlbot") == "yes";
    json detail = {{"mapName", map},
                   {"gameMode", Param(request, "gameMode")},
                   {"mutators", Param(request, "mutators")},
                   {"networkOptions", Param(request, "networkOptions")},
                   {"rlbot", rlbot}};
    std::vector<GamePlayer> players = {{"Vexa", false}, {"Tidal", false}};
    if (rlbot) {
        const auto blue = SplitBots(Param(request, "blueBots"));
        const auto orange = SplitBots(Param(request, "orangeBots"));
        detail["blueBots"] = blue;
        detail["orangeBots"] = orange;
        players = {{"Orbit", false}};
        for (const auto& bot : blue) players.push_back({bot, true});
        for (const auto& bot : orange) players.push_back({bot, true});
    }
    auto answer = [&](int status, const std::string& body) {
        detail["status"] = status;
        detail["reply"] = body;
        state.records.push_back({location.name, "request", detail});
        response = {status, body};
        return response;
    };
    if (!location.maps.empty() && !location.maps.count(map)) return answer(200, "Map not on server");
    if (location.servers.size() >= location.slots) return answer(400, "no free servers");
    auto server = std::make_unique<GameServer>(std::move(players));
    if (server->port() == 0) return answer(200, "mislaunch");
    const int port = server->port();
    location.servers.push_back(std::move(server));
    return answer(200, "127.0.0.1:" + std::to_string(port));
}

PlainResponse ServeCommand(HostingState& state, size_t index, const PlainRequest& request)
{
    PlainResponse response;
    std::lock_guard<std::mutex> lock(state.mutex);
    Location& location = state.locations[index];
    json detail = {{"body", request.body}};
    auto answer = [&](int status, const std::string& text) {
        detail["status"] = status;
        detail["reply"] = text;
        state.records.push_back({location.name, "command", detail});
        response = {status, text};
        return response;
    };
    json body = json::parse(request.body, nullptr, false);
    if (!body.is_object() || !body.contains("command") || !body["command"].is_string() || !body.contains("port") ||
        !body["port"].is_number_integer())
        return answer(400, "a command needs \"command\" (text) and \"port\" (number)");
    const std::string command = body["command"].get<std::string>();
    detail["command"] = command;
    detail["port"] = body["port"];
    GameServer* server = state.Find(location, body["port"].get<int>());
    if (!server) return answer(404, "no game server on that port");
    std::string player;
    int speed = 0;
    if (command == "kick") {
        if (!body.contains("player") || !body["player"].is_string()) return answer(400, "kick needs a player name");
        player = body["player"].get<std::string>();
    } else if (command == "gs") {
        if (!body.contains("player") || !body["player"].is_number_integer()) return answer(400, "gs needs a number");
        speed = body["player"].get<int>();
    }
    std::string effect;
    const bool applied = server->Apply(command, player, speed, effect);
    detail["effect"] = effect;
    return answer(applied ? 200 : 400, applied ? "ok: " + effect : effect);
}

json DescribeState(HostingState& state)
{
    std::lock_guard<std::mutex> lock(state.mutex);
    json locations = json::array();
    for (auto& location : state.locations) {
        json servers = json::array();
        for (auto& server : location.servers) {
            json players = json::array();
            for (const auto& p : server->Players()) players.push_back({{"name", p.name}, {"bot", p.bot}});
            servers.push_back({{"port", server->port()},
                               {"players", players},
                               {"locked", server->Locked()},
                               {"paused", server->Paused()},
                               {"speed", server->Speed()},
                               {"restarts", server->Restarts()}});
        }
        locations.push_back({{"location", location.name}, {"apiPort", location.apiPort}, {"servers", servers}});
    }
    json records = json::array();
    for (const auto& r : state.records) records.push_back({{"location", r.location}, {"kind", r.kind}, {"detail", r.detail}});
    return json{{"locations", locations}, {"records", records}};
}

// The location APIs run as long as the process; they are never torn down.
void StartLocationApi(HostingState& state, size_t index, const std::string& address, int wantedPort)
{
    auto handler = [&state, index](const PlainRequest& request) -> PlainResponse {
        if (request.method == "GET" && request.path == "/") return ServeRequest(state, index, request);
        if (request.method == "POST" && request.path == "/servercommand") return ServeCommand(state, index, request);
        return {404, "no such route"};
    };
    int port = StartPlainHttpServer(address, wantedPort, handler);
    if (port == 0) port = StartPlainHttpServer(address, 0, handler);
    if (port == 0) {
        std::fprintf(stderr, "demo-services: hosting location %zu cannot listen on %s\n", index, address.c_str());
        return;
    }
    state.locations[index].apiPort = port;
}

} // namespace

void RegisterHostingRoutes(httplib::Server& server, const ServiceContext& context)
{
    // baseUrl is http://address:port; the locations listen on the next two ports when free.
    const std::string hostPort = context.baseUrl.substr(context.baseUrl.find("://") + 3);
    const size_t colon = hostPort.rfind(':');
    const std::string address = hostPort.substr(0, colon);
    const int basePort = std::stoi(hostPort.substr(colon + 1));

    auto* state = new HostingState(); // lives as long as the process, like the location servers
    state->locations.push_back({"Devhost East", "east.devhost.test", {}, 2, 0, {}}); // any map

    state->locations.push_back({"Devhost West", "west.devhost.test", {"Park_P", "Stadium_P"}, 1, 0, {}});
    for (size_t i = 0; i < state->locations.size(); ++i)
        StartLocationApi(*state, i, address, basePort + 1 + static_cast<int>(i));

    server.Get("/servers", [state, address](const httplib::Request&, httplib::Response& response) {
        json list = json::array();
        for (const auto& location : state->locations)
            list.push_back({{"ip", address}, {"port", std::to_string(location.apiPort)}, {"location", location.name}, {"domain", location.domain}});
        response.set_content(list.dump(), "application/json");
    });
    server.Get("/api/botList2.json", [](const httplib::Request&, httplib::Response& response) {
        json list = json::array();
        for (const auto& bot : Bots()) {
            if (!bot.listed) continue;
            if (bot.versions.empty()) list.push_back(bot.name);
            else list.push_back({{"name", bot.name}, {"versions", bot.versions}});
        }
        response.set_content(list.dump(), "application/json");
    });
    server.Get(R"(/api/bots/([^/]+)/bot\.toml)", [](const httplib::Request& request, httplib::Response& response) {
        const std::string name = request.matches[1];
        for (const auto& bot : Bots()) {
            if (bot.name == name && !bot.toml.empty()) return response.set_content(bot.toml, "text/plain");
        }
        response.status = 404;
        response.set_content("no such bot", "text/plain");
    });
    server.Get("/hosting/record", [state](const httplib::Request&, httplib::Response& response) {
        response.set_content(DescribeState(*state).dump(2), "application/json");
    });
}

} // namespace demo
