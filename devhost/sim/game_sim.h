#pragma once
// The simulated game behind GameWrapper: it prints what the plugin asks of the game as
// "[game] " lines and keeps the state that the console's "sim" commands set.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bakkesmod/host/services.h"
#include "sim/game_thread.h"
#include "sim/listen_socket.h"
#include "sim/online_game.h"

namespace devhost {

class SimMatchmaking : public bakkesmod::host::MatchmakingService {
public:
    void createPrivateMatch(Region region, int playlist, const CustomMatchSettings& settings) override;
};

class SimPlayerController : public bakkesmod::host::PlayerControllerService {
public:
    void serverSay(const std::string& text, unsigned char chatChannel, bool preset) override;
};

// The one line CreatePrivateMatch prints, every field of the settings included.
std::string DescribePrivateMatch(Region region, int playlist, const CustomMatchSettings& settings);
std::string RegionName(Region region);

class GameSim : public bakkesmod::host::GameService {
public:
    GameSim(GameThread& gameThread, int listenPort, std::string listenAddress = "127.0.0.1");
    ~GameSim() override;

    void execute(std::function<void(GameWrapper*)> fn, GameWrapper* wrapper) override;
    void executeUnrealCommand(const std::string& command) override;
    bakkesmod::host::MatchmakingService* matchmaking() override;
    bakkesmod::host::PlayerControllerService* playerController() override;
    std::optional<std::vector<bakkesmod::host::PlayerRecord>> onlineGamePlayers() override;

    // The console's "sim" command; words[0] is "sim". Returns false on bad input.
    bool command(const std::vector<std::string>& words);
    void closeListenServer();

private:
    void printStatus();

    GameThread& gameThread;
    SimMatchmaking matchmakingService;
    SimPlayerController controllerService;

    std::mutex mutex;
    bool matchmakingOn = true;
    bool controllerOn = true;
    std::optional<std::vector<bakkesmod::host::PlayerRecord>> players; // nullopt: no online game
    int listenPort;
    const std::string listenAddress;
    ListenSocket listenSocket; // open between a "?Listen" travel and the next travel
    OnlineGame onlineGame;     // joined by "start <host>:<port>/..." until the next travel
};

} // namespace devhost
