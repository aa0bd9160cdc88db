#pragma once
// Joining a match by its address: what a player typed, pasted from a chat or got from the
// reverse proxy panel's "Copy", checked before any of it goes into a console command.
#include <optional>
#include <string>
#include <string_view>

namespace lobby {

inline constexpr int defaultJoinPort = 7777;

struct JoinTarget {
    std::string host;
    int port = defaultJoinPort;

    std::string Text() const; // "host:port"
    bool operator==(const JoinTarget&) const = default;
};

// Either a target or the status line that says why there is none.
struct JoinAddressCheck {
    std::optional<JoinTarget> target;
    std::string refusal;
};

// "host:port" or "host" (port 7777), after trimming blanks and line ends around it.
JoinAddressCheck ParseJoinAddress(std::string_view text);

// Why the password cannot go into the join command, or nullopt when it can.
std::optional<std::string> JoinPasswordRefusal(const std::string& password);

// The LAN travel command that joins, as a listed lobby's "Connect" sends it.
std::string JoinCommand(const JoinTarget& target, const std::string& password);

// The status line of an empty field.
inline constexpr const char* kEnterAnAddress = "Enter an address to join, as host:port";

} // namespace lobby
