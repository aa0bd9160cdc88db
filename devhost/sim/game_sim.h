#pragma once
// The simulated game behind GameWrapper: it prints what the plugin asks of the game as
// "[game] " lines and keeps the state that the console's "sim" commands set.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bakkesmod/host/services.h"
#include "sim/allowed_networks.h"
#include "sim/game_thread.h"
#include "sim/lan_host.h"
#include "sim/lan_match.h"
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
    // playerName: who joins other LAN matches; allowJoin: where besides loopback they may be.
    GameSim(GameThread& gameThread, int listenPort, std::string listenAddress = "127.0.0.1",
            std::string playerName = "Player", AllowedNetworks allowJoin = {});
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
    void openListenServer(const std::string& command);

    GameThread& gameThread;
    SimMatchmaking matchmakingService;
    SimPlayerController controllerService;

    std::mutex mutex;
    bool matchmakingOn = true;
    bool controllerOn = true;
    std::optional<std::vector<bakkesmod::host::PlayerRecord>> players; // nullopt: no online game
    int listenPort;
    const std::string listenAddress;
    LanHost lanHost;           // the listen server's players; before listenSocket, which calls it
    ListenSocket listenSocket; // open between a "?Listen" travel and the next travel
    OnlineGame onlineGame;     // joined by "start <host>:<port>/..." until the next travel
    LanMatch lanMatch;         // joined by "open <host>:<port>?..." until the next travel
};

} // namespace devhost
