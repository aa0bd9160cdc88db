#pragma once
#include <string>

namespace bakkesmod::host {
class MatchmakingService;
}

enum class Region : int {
    USE = 0,
    EU = 1,
    USW = 2,
    ASC = 3,
    ASM = 4,
    JPN = 5,
    ME = 6,
    OCE = 7,
    SAF = 8,
    SAM = 9,
};

// Every field starts at its zero value so a caller that fills only some sends no garbage.
struct CustomMatchTeamSettings {
    std::string Name;
    int ColorPrimary = 0;
    int ColorAccent = 0;
    bool GameScore = false;
};

struct CustomMatchSettings {
    std::string GameTags;
    std::string MapName;
    int GameMode = 0;
    int MaxPlayerCount = 0;
    std::string ServerName;
    std::string Password;
    bool bPublic = false;
    CustomMatchTeamSettings BlueTeamSettings;
    CustomMatchTeamSettings OrangeTeamSettings;
    bool bClubServer = false;
};

class MatchmakingWrapper {
public:
    explicit MatchmakingWrapper(bakkesmod::host::MatchmakingService* service = nullptr) : service(service) {}

    bool IsNull() const { return service == nullptr; }
    explicit operator bool() const { return !IsNull(); }
    void CreatePrivateMatch(Region region, int playlist, const CustomMatchSettings& settings);

private:
    bakkesmod::host::MatchmakingService* service;
};
