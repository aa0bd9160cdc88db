#pragma once
// The bodies of the remote server commands.
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace hosted {

// Compact JSON with its keys in ascending byte order. Text that is not valid UTF-8 (a
// player name from the game) is sent with each invalid byte as U+FFFD rather than not at all.
std::string ServerCommandBody(const std::string& command, std::int32_t port,
                              const std::optional<nlohmann::json>& player = std::nullopt);

} // namespace hosted
