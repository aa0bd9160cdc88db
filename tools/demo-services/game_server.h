#pragma once
// One simulated dedicated game server of the demo hosting service: a UDP socket on
// 127.0.0.1 that answers every datagram with its state, so a joining game learns who plays.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace demo {

struct GamePlayer {
    std::string name;
    bool bot = false;
};

class GameServer {
public:
    // Binds a free UDP port on 127.0.0.1; port() is 0 when that failed.
    explicit GameServer(std::vector<GamePlayer> players);
    ~GameServer();
    GameServer(const GameServer&) = delete;
    GameServer& operator=(const GameServer&) = delete;

    int port() const { return boundPort; }
    // The datagram answer: "kestrel-game-server" then one line per player, bots as "bot:<name>".
    std::string Describe() const;

    // Commands of the hosting service; false with a reason when the command cannot apply.
    bool Apply(const std::string& command, const std::string& player, int speed, std::string& effect);

    std::vector<GamePlayer> Players() const;
    bool Locked() const;
    bool Paused() const;
    int Speed() const;
    int Restarts() const;

private:
    void Run();

    mutable std::mutex mutex;
    std::vector<GamePlayer> initialPlayers;
    std::vector<GamePlayer> players;
    bool locked = false;
    bool paused = false;
    int speed = 100;
    int restarts = 0;

    int fd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    int boundPort = 0;
    std::thread thread;
};

} // namespace demo
