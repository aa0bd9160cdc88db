#pragma once
// The lobby service's reply, read strictly: every key required, types checked.
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace rllobby_api::responses {

struct LobbyRecord {
    std::string id;
    std::string name;
    std::string map;
    std::string description;
    std::int32_t playerCount = 0;
    std::vector<std::string> players;
    bool hasPassword = false;
    std::string ipAddress;
    std::int32_t port = 0;
    std::int32_t secondsSinceUpdate = 0;
};

struct GetAllLobbiesResponse {
    std::vector<LobbyRecord> lobbies;
};

// Throw nlohmann::json exceptions (or std::out_of_range for numbers an int32 cannot hold)
// on the first key that is missing or of the wrong type.
void FromJson(const nlohmann::json& document, LobbyRecord& record);
void FromJson(const nlohmann::json& document, GetAllLobbiesResponse& response);

} // namespace rllobby_api::responses
