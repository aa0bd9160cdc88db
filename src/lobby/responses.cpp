#include "lobby/responses.h"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include <nlohmann/json.hpp>

namespace rllobby_api::responses {

namespace {

using nlohmann::json;

// Numbers arrive as integers, unsigned or floating point (truncated toward zero), or as
// booleans. A value an int32 cannot hold is refused rather than wrapped.
std::int32_t ReadInt32(const json& document, const char* key)
{
    const json& value = document.at(key);
    if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
    if (value.is_number_unsigned()) {
        auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
            throw std::out_of_range(std::string("value of '") + key + "' is out of range");
        return static_cast<std::int32_t>(number);
    }
    if (value.is_number_integer()) {
        auto number = value.get<std::int64_t>();
        if (number < std::numeric_limits<std::int32_t>::min() || number > std::numeric_limits<std::int32_t>::max())
            throw std::out_of_range(std::string("value of '") + key + "' is out of range");
        return static_cast<std::int32_t>(number);
    }
    if (value.is_number_float()) {
        double number = std::trunc(value.get<double>());
        if (!(number >= std::numeric_limits<std::int32_t>::min() && number <= std::numeric_limits<std::int32_t>::max()))
            throw std::out_of_range(std::string("value of '") + key + "' is out of range");
        return static_cast<std::int32_t>(number);
    }
    // Let the library word the type error the same way as for the other keys.
    return value.get<std::int32_t>();
}

std::string ReadString(const json& document, const char* key) { return document.at(key).get<std::string>(); }

} // namespace

void FromJson(const json& document, LobbyRecord& record)
{
    // Shape errors (not an object, not an array) are the library's own, worded by it.
    record.id = ReadString(document, "id");
    record.name = ReadString(document, "name");
    record.map = ReadString(document, "map");
    record.description = ReadString(document, "description");
    record.playerCount = ReadInt32(document, "playerCount");
    record.players = document.at("players").get<std::vector<std::string>>();
    record.hasPassword = document.at("hasPassword").get<bool>();
    record.ipAddress = ReadString(document, "ipAddress");
    record.port = ReadInt32(document, "port");
    record.secondsSinceUpdate = ReadInt32(document, "secondsSinceUpdate");
}

void FromJson(const json& document, GetAllLobbiesResponse& response)
{
    const json& lobbies = document.at("lobbies");
    if (!lobbies.is_array()) (void)lobbies.get<std::vector<json>>(); // raises the library's "type must be array"
    std::vector<LobbyRecord> records;
    records.reserve(lobbies.size());
    for (const json& element : lobbies) FromJson(element, records.emplace_back());
    response.lobbies = std::move(records);
}

} // namespace rllobby_api::responses
