#pragma once
// The joining player's side of a LAN match: "open <host>:<port>?...?Password=..." to another
// machine sends a join datagram with the player's name and password and waits for the
// listen server's answer; the next travel leaves the match again.
#include <mutex>
#include <optional>
#include <string>

#include "sim/allowed_networks.h"

namespace devhost {

struct LanAddress {
    std::string host;
    int port = 0;
    std::string password; // the command's "?Password=" value, "" without one
    std::string Text() const { return host + ":" + std::to_string(port); }
};

// The value of a travel command's URL option ("?Password=..."), key in any case; "" without it.
std::string TravelOption(const std::string& command, const std::string& key);

// nullopt for anything but an "open" to host:port (an "open" of a map has no port).
std::optional<LanAddress> ParseLanJoinCommand(const std::string& command);

class LanMatch {
public:
    LanMatch(std::string playerName, AllowedNetworks allowed);
    ~LanMatch();
    LanMatch(const LanMatch&) = delete;
    LanMatch& operator=(const LanMatch&) = delete;

    // Leaves any joined match, then tries this one; prints the "[game]" outcome lines.
    void Join(const LanAddress& address);
    void Leave();
    std::optional<std::string> JoinedAddress() const;

private:
    const std::string playerName;
    const AllowedNetworks allowed;
    mutable std::mutex mutex;
    std::optional<std::string> joined;
    int fd = -1; // connected to the joined server while joined
};

} // namespace devhost
