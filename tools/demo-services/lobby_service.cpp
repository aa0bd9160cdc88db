// GET /rllobby/lobby: the community lobby list the plugin's browser shows. The built-in
// lobbies read like a real evening's list; one of them is the development host's own
// simulated listen server (127.0.0.1:7777), so joining it can be tried end to end.
// --lobbies N replaces them with N generated ones for load tests, the same on every run.
#include <httplib.h>

#include <array>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "service.h"

namespace demo {

namespace {

using nlohmann::json;

json Lobby(const std::string& id, const std::string& name, const std::string& map, const std::string& description,
           const std::vector<std::string>& players, bool hasPassword, const std::string& ipAddress, int port,
           int secondsSinceUpdate)
{
    return json{{"id", id},
                {"name", name},
                {"map", map},
                {"description", description},
                {"playerCount", static_cast<int>(players.size())},
                {"players", players},
                {"hasPassword", hasPassword},
                {"ipAddress", ipAddress},
                {"port", port},
                {"secondsSinceUpdate", secondsSinceUpdate}};
}

// Remote hosts use documentation addresses (192.0.2.0/24, 198.51.100.0/24, 203.0.113.0/24):
// they look real and lead nowhere.
json BuiltInLobbies()
{
    return json::array({
        Lobby("lb-7f3a91", "Friday Night Scrims", "EuroStadium_Night_P", "3v3 scrims, bring your own team",
              {"Vexa", "Tidal", "Monsoon", "Kip"}, true, "203.0.113.24", 7777, 12),
        Lobby("lb-2c8e04", "Chill Free Play", "Park_P", "No pressure, just kickoffs and aerial practice",
              {"Juniper", "Orbit"}, false, "198.51.100.7", 7777, 4),
        Lobby("lb-local", "Devhost Listen Server", "Stadium_P", "The development host's own listen server",
              {"You"}, false, "127.0.0.1", 7777, 1),
        Lobby("lb-91d7b2", "Wasteland 1v1 Ladder", "Wasteland_P", "Best of five, loser rotates out",
              {"Grit", "Saltine", "Ember"}, false, "192.0.2.45", 7778, 37),
        Lobby("lb-44aa10", "Rumble Night", "UtopiaStadium_P", "Rumble mutators, anything goes",
              {"Pogo", "Nimbus", "Rook", "Ferro", "Lumen", "Zest"}, true, "203.0.113.88", 7777, 58),
        Lobby("lb-c0ffee", "Train Station Hangout", "TrainStation_P", "Casual 2v2, new players welcome", {}, false,
              "198.51.100.130", 7779, 120),
    });
}

json GeneratedLobbies(int count)
{
    static const std::array<const char*, 6> maps = {"Park_P",         "Stadium_P",       "EuroStadium_Night_P",
                                                    "TrainStation_P", "UtopiaStadium_P", "Wasteland_P"};
    json lobbies = json::array();
    for (int i = 0; i < count; ++i) {
        std::vector<std::string> players;
        for (int p = 0; p < i % 9; ++p) players.push_back("Player " + std::to_string(i) + "-" + std::to_string(p + 1));
        const std::string host = "192.0.2." + std::to_string(1 + i % 254);
        lobbies.push_back(Lobby("gen-" + std::to_string(i), "Load Test Lobby " + std::to_string(i),
                                maps[static_cast<size_t>(i) % maps.size()], "Generated lobby number " + std::to_string(i),
                                players, i % 3 == 0, host, 7777 + i % 100, (i * 7) % 300));
    }
    return lobbies;
}

} // namespace

void RegisterLobbyRoutes(httplib::Server& server, const ServiceContext& context)
{
    // Built once: the list never changes while the server runs.
    auto body = std::make_shared<const std::string>(
        json{{"lobbies", context.lobbies < 0 ? BuiltInLobbies() : GeneratedLobbies(context.lobbies)}}.dump());
    server.Get("/rllobby/lobby", [body](const httplib::Request&, httplib::Response& response) {
        response.set_content(*body, "application/json");
    });
}

} // namespace demo
