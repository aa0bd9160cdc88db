#pragma once
// The plugin's handle on the game.
#include <functional>
#include <string>

#include "bakkesmod/wrappers/MatchmakingWrapper.h"
#include "bakkesmod/wrappers/PlayerControllerWrapper.h"
#include "bakkesmod/wrappers/ServerWrapper.h"

namespace bakkesmod::host {
class GameService;
}

class GameWrapper {
public:
    explicit GameWrapper(bakkesmod::host::GameService* game);

    // fn runs later on the game thread; it must own copies of what it uses.
    void Execute(std::function<void(GameWrapper*)> fn);
    void ExecuteUnrealCommand(std::string command);
    MatchmakingWrapper GetMatchmakingWrapper();
    PlayerControllerWrapper GetPlayerController();
    ServerWrapper GetOnlineGame();

private:
    bakkesmod::host::GameService* game;
};
