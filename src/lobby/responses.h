#pragma once
// The lobby service's reply. The document's shape is read strictly; a lobby that cannot be read
// is left out and counted, so one bad entry does not hide the others.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace rllobby_api::responses {

// Texts come cleaned for showing (remote_text): name, map and players as names, the description
// as free text. The id and address stay as sent: they are compared and checked, never drawn.
struct LobbyRecord {
    std::string id;
    std::string name;
    std::string map;
    std::string description;
    std::int32_t playerCount = 0;
    std::vector<std::string> players;
    bool hasPassword = false;
    std::string ipAddress;
    std::int32_t port = 0; // floats truncated, booleans 0 or 1; 0 when no int32 holds it
    std::int32_t secondsSinceUpdate = 0;
    // Why the lobby cannot be joined ("its port ... is not a whole number from 1 to 65535"); empty
    // when it can.
    std::string unjoinable;
};

struct GetAllLobbiesResponse {
    std::vector<LobbyRecord> lobbies;
    std::size_t skipped = 0;      // array elements that could not be read as a lobby
    std::string firstSkipReason;  // the library's message for the first of them
    std::size_t textsShortened = 0;
};

// Throws nlohmann::json exceptions when the document is no object with a "lobbies" array. Inside
// the array, an element that is not an object, lacks a key, holds a value of the wrong type or a
// count no int32 can hold is skipped.
void FromJson(const nlohmann::json& document, GetAllLobbiesResponse& response);

} // namespace rllobby_api::responses
