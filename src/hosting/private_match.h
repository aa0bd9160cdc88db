#pragma once
// What a private match request sends to the game's matchmaking.
#include <array>
#include <string>

#include "bakkesmod/wrappers/MatchmakingWrapper.h"

namespace hosting {

struct RegionChoice {
    const char* displayName;
    const char* code; // the digit the game knows the region by
};

// In the order the tab offers them; US-West and Europe have each other's place in the
// game's numbering.
inline constexpr std::array<RegionChoice, 10> PrivateMatchRegions{{
    {"US-East", "0"},
    {"US-West", "2"},
    {"Europe", "1"},
    {"Asia-SE Mainland", "3"},
    {"Asia-SE Maritime", "4"},
    {"Asia-East", "5"},
    {"Middle-East", "6"},
    {"Oceania", "7"},
    {"South Africa", "8"},
    {"South America", "9"},
}};

// The playlist the game uses for private matches.
inline constexpr int kPrivateMatchPlaylist = 6;
inline constexpr int kPrivateMatchMaxPlayers = 8;

// The settings' game mode number for a game-info class; 0 for any class it does not know.
int GameModeNumber(const std::string& gameInfoClass);

CustomMatchSettings BuildPrivateMatchSettings(const std::string& arena, const std::string& gameMode,
                                              const std::string& gameTags, const std::string& serverName,
                                              const std::string& password);

// Mirrors the password's length but not its content, for log lines.
std::string MaskedPassword(const std::string& password);

} // namespace hosting
