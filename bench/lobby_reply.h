#pragma once
// A lobby service reply with a given number of lobbies, for benchmarks that need a full list.
#include <string>

#include <nlohmann/json.hpp>

namespace kestrel::bench {

inline std::string LobbyReply(int count)
{
    const char* maps[] = {"Park_P", "Stadium_P", "EuroStadium_Night_P", "TrainStation_P"};
    nlohmann::json lobbies = nlohmann::json::array();
    for (int i = 0; i < count; ++i) {
        lobbies.push_back({{"id", "id" + std::to_string(i)}, {"name", "Lobby " + std::to_string(i)},
                           {"map", maps[i % 4]}, {"description", ""}, {"playerCount", i % 8},
                           {"players", nlohmann::json::array()}, {"hasPassword", false}, {"ipAddress", "127.0.0.1"},
                           {"port", 7777}, {"secondsSinceUpdate", i % 60}});
    }
    return nlohmann::json{{"lobbies", lobbies}}.dump();
}

} // namespace kestrel::bench
