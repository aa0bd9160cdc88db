#include "bakkesmod/host/services.h"
#include "bakkesmod/wrappers/GameWrapper.h"

GameWrapper::GameWrapper(bakkesmod::host::GameService* game) : game(game) {}

void GameWrapper::Execute(std::function<void(GameWrapper*)> fn)
{
    if (game && fn) game->execute(std::move(fn), this);
}

void GameWrapper::ExecuteUnrealCommand(std::string command)
{
    if (game) game->executeUnrealCommand(command);
}

MatchmakingWrapper GameWrapper::GetMatchmakingWrapper()
{
    return MatchmakingWrapper(game ? game->matchmaking() : nullptr);
}

PlayerControllerWrapper GameWrapper::GetPlayerController()
{
    return PlayerControllerWrapper(game ? game->playerController() : nullptr);
}

ServerWrapper GameWrapper::GetOnlineGame()
{
    if (!game) return ServerWrapper();
    auto players = game->onlineGamePlayers();
    return players ? ServerWrapper(std::move(*players)) : ServerWrapper();
}

void MatchmakingWrapper::CreatePrivateMatch(Region region, int playlist, const CustomMatchSettings& settings)
{
    if (service) service->createPrivateMatch(region, playlist, settings);
}

void PlayerControllerWrapper::ServerSay_TA(std::string message, unsigned char chatChannel, bool preset)
{
    if (controller) controller->serverSay(message, chatChannel, preset);
}

ServerWrapper::ServerWrapper(std::vector<bakkesmod::host::PlayerRecord> players) : players(std::move(players)) {}

ArrayWrapper<PriWrapper> ServerWrapper::GetPRIs() const
{
    if (!players) return ArrayWrapper<PriWrapper>();
    std::vector<PriWrapper> entries;
    entries.reserve(players->size());
    for (const auto& record : *players) entries.push_back(record.isNull ? PriWrapper() : PriWrapper(record));
    return ArrayWrapper<PriWrapper>(std::move(entries));
}

PriWrapper::PriWrapper(bakkesmod::host::PlayerRecord record) : record(std::move(record)) {}

bool PriWrapper::IsNull() const { return !record.has_value(); }

UnrealStringWrapper PriWrapper::GetPlayerName() const { return UnrealStringWrapper(record ? record->name : ""); }

bool PriWrapper::GetbBot() const { return record && record->bot; }

bool PriWrapper::GetbOnlySpectator() const { return record && record->onlySpectator; }
