#include "lobby/responses.h"

#include <cmath>
#include <exception>
#include <limits>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "lobby/remote_text.h"

namespace rllobby_api::responses {

namespace {

using nlohmann::json;

// Numbers arrive as integers, unsigned or floating point (truncated toward zero), or as
// booleans. A value an int32 cannot hold is refused rather than wrapped.
std::int32_t ReadInt32(const json& value, const char* key)
{
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

// The port goes into the travel command: only a whole number a port can be makes the lobby
// joinable. Any other number (or a boolean) keeps the lobby listed, with the reason.
void ReadPort(const json& value, LobbyRecord& record)
{
    if (!value.is_number() && !value.is_boolean()) (void)value.get<std::int32_t>(); // the library's type error
    // The library keeps non-negative integers unsigned, negative ones signed.
    const bool port = value.is_number_unsigned() ? value.get<std::uint64_t>() >= 1 && value.get<std::uint64_t>() <= 65535
                      : value.is_number_integer() ? value.get<std::int64_t>() >= 1 && value.get<std::int64_t>() <= 65535
                                                  : false;
    if (port) {
        record.port = value.get<std::int32_t>();
        return;
    }
    try {
        record.port = ReadInt32(value, "port");
    } catch (const std::out_of_range&) {
        record.port = 0;
    }
    record.unjoinable = fmt::format("its port {} is not a whole number from 1 to 65535", value.dump());
}

std::string ReadString(const json& document, const char* key) { return document.at(key).get<std::string>(); }

// Shape errors (not an object, a key missing, a wrong type) are the library's own, worded by it.
LobbyRecord ReadLobby(const json& document, remote_text::Cleaner& cleaner)
{
    LobbyRecord record;
    record.id = ReadString(document, "id");
    record.name = cleaner.Name(ReadString(document, "name"));
    record.map = cleaner.Name(ReadString(document, "map"));
    record.description = cleaner.Text(ReadString(document, "description"));
    record.playerCount = ReadInt32(document.at("playerCount"), "playerCount");
    const json& players = document.at("players");
    if (!players.is_array()) (void)players.get<std::vector<std::string>>(); // the library's "type must be array"
    for (const json& player : players) record.players.push_back(cleaner.Name(player.get<std::string>()));
    record.hasPassword = document.at("hasPassword").get<bool>();
    record.ipAddress = ReadString(document, "ipAddress");
    ReadPort(document.at("port"), record);
    record.secondsSinceUpdate = ReadInt32(document.at("secondsSinceUpdate"), "secondsSinceUpdate");
    return record;
}

} // namespace

void FromJson(const json& document, GetAllLobbiesResponse& response)
{
    const json& lobbies = document.at("lobbies");
    if (!lobbies.is_array()) (void)lobbies.get<std::vector<json>>(); // raises the library's "type must be array"
    GetAllLobbiesResponse read;
    read.lobbies.reserve(lobbies.size());
    remote_text::Cleaner cleaner;
    for (const json& element : lobbies) {
        try {
            read.lobbies.push_back(ReadLobby(element, cleaner));
        } catch (const std::exception& error) {
            if (read.skipped++ == 0) read.firstSkipReason = error.what();
        }
    }
    read.textsShortened = cleaner.Shortened();
    response = std::move(read);
}

} // namespace rllobby_api::responses
