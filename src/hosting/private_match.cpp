#include "hosting/private_match.h"

#include <map>

#include "bakkesmod/wrappers/GameWrapper.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace hosting {

int GameModeNumber(const std::string& gameInfoClass)
{
    // Number 4 belongs to no class the game offers here.
    static const std::map<std::string, int> numbers = {
        {"TAGame.GameInfo_Soccar_TA", 0},   {"TAGame.GameInfo_Basketball_TA", 1}, {"TAGame.Gameinfo_Hockey_TA", 2},
        {"TAGame.GameInfo_Items_TA", 3},    {"TAGame.GameInfo_Breakout_TA", 5},   {"TAGame.GameInfo_GodBall_TA", 6},
        {"TAGame.GameInfo_FootBall_TA", 7},
    };
    auto it = numbers.find(gameInfoClass);
    return it == numbers.end() ? 0 : it->second;
}

CustomMatchSettings BuildPrivateMatchSettings(const std::string& arena, const std::string& gameMode,
                                              const std::string& gameTags, const std::string& serverName,
                                              const std::string& password)
{
    CustomMatchSettings settings;
    settings.ServerName = serverName;
    settings.Password = password;
    settings.GameMode = GameModeNumber(gameMode);
    settings.MapName = arena;
    settings.GameTags = gameTags;
    settings.MaxPlayerCount = kPrivateMatchMaxPlayers;
    return settings;
}

std::string MaskedPassword(const std::string& password) { return std::string(password.size(), '*'); }

} // namespace hosting

void matchbay::RequestPrivateMatch(const std::string& arena, const std::string& gameMode, const std::string& gameTags,
                                   const std::string& serverName, const std::string& regionCode, const char* password)
{
    MatchmakingWrapper matchmaking = gameWrapper ? gameWrapper->GetMatchmakingWrapper() : MatchmakingWrapper();
    if (!matchmaking) {
        LogLine("MatchmakingWrapper is null");
        return;
    }
    CustomMatchSettings settings =
        hosting::BuildPrivateMatchSettings(arena, gameMode, gameTags, serverName, password ? password : "");
    if (regionCode.size() != 1 || regionCode[0] < '0' || regionCode[0] > '9') return;
    matchmaking.CreatePrivateMatch(static_cast<Region>(regionCode[0] - '0'), hosting::kPrivateMatchPlaylist, settings);
}
