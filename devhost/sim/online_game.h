#pragma once
// The online game the simulated game joins with "start <host>:<port>/?Lan": it asks the
// game server by UDP who plays there, keeps asking while joined, and hands those players
// to the plugin beside the ones the "sim player/bot/spectator" commands add.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bakkesmod/host/services.h"

namespace devhost {

// "start <host>:<port>/..." gives host and port; nullopt for any other command.
struct OnlineAddress {
    std::string host;
    int port = 0;
};
std::optional<OnlineAddress> ParseStartCommand(const std::string& command);

// Players from a game server's answer: one per line after the first, "bot:" marking bots.
std::vector<bakkesmod::host::PlayerRecord> ParseServerPlayers(const std::string& answer);

class OnlineGame {
public:
    OnlineGame() = default;
    ~OnlineGame();
    OnlineGame(const OnlineGame&) = delete;
    OnlineGame& operator=(const OnlineGame&) = delete;

    // Leaves any joined game, then tries the new one; prints the "[game]" outcome line.
    void Join(const OnlineAddress& address);
    void Leave();
    // nullopt while not joined.
    std::optional<std::vector<bakkesmod::host::PlayerRecord>> Players() const;
    std::optional<std::string> JoinedAddress() const;

private:
    void Poll(int fd);

    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::optional<std::string> joined;
    std::vector<bakkesmod::host::PlayerRecord> serverPlayers;
    std::thread poller;
};

} // namespace devhost
