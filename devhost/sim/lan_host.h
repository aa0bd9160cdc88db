#pragma once
// The listen server's side of a LAN join: it remembers the password of the travel command
// that opened it, lets in the players who bring it (or everyone without one), refuses the
// rest, and keeps who joined from where for "sim status".
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace devhost {

class LanHost {
public:
    struct Player {
        std::string name; // printable
        std::string from; // "address:port" as the datagram arrived
    };

    // A new listen server: no players, no refusals, this password ("" lets everyone in).
    void Reset(std::string password);
    // The answer to one datagram (the socket thread calls it); prints what happened.
    std::string Answer(std::string_view datagram, const std::string& from);

    std::vector<Player> Players() const;
    std::uint64_t Refusals() const;

    static constexpr std::size_t kMostPlayers = 64; // a flood of names takes no more

private:
    mutable std::mutex mutex;
    std::string password;
    std::vector<Player> players;
    std::uint64_t refusals = 0;
};

} // namespace devhost
