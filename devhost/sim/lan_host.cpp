#include "sim/lan_host.h"

#include <algorithm>

#include "output.h"
#include "sim/lan_protocol.h"

namespace devhost {

void LanHost::Reset(std::string newPassword)
{
    std::lock_guard<std::mutex> lock(mutex);
    password = std::move(newPassword);
    players.clear();
    refusals = 0;
}

std::string LanHost::Answer(std::string_view datagram, const std::string& from)
{
    if (auto leaving = ParseLanLeave(datagram)) {
        const std::string name = PrintableLanName(*leaving);
        std::lock_guard<std::mutex> lock(mutex);
        const auto gone = std::remove_if(players.begin(), players.end(),
                                         [&](const Player& p) { return p.name == name && p.from == from; });
        if (gone != players.end()) PrintLine("[game] player " + name + " left");
        players.erase(gone, players.end());
        return std::string(kLanLeft);
    }
    auto request = ParseLanJoin(datagram);
    if (!request) return std::string(datagram);

    const std::string name = PrintableLanName(request->name);
    std::lock_guard<std::mutex> lock(mutex);
    if (!password.empty() && request->password != password) {
        ++refusals;
        PrintLine("[game] refused " + name + " from " + from + ": wrong password");
        return std::string(kLanWrongPassword);
    }
    const bool again = std::any_of(players.begin(), players.end(),
                                   [&](const Player& p) { return p.name == name && p.from == from; });
    if (!again) {
        if (players.size() >= kMostPlayers) {
            ++refusals;
            PrintLine("[game] refused " + name + " from " + from + ": the match is full");
            return std::string(kLanFull);
        }
        players.push_back(Player{name, from});
    }
    PrintLine("[game] player " + name + " joined from " + from);
    return std::string(kLanWelcome);
}

std::vector<LanHost::Player> LanHost::Players() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return players;
}

std::uint64_t LanHost::Refusals() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return refusals;
}

} // namespace devhost
