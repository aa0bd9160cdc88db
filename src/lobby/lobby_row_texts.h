#pragma once
// The texts of the lobby table's rows, built once per list: formatting numbers and joining labels for every
// visible row on every frame cost more than drawing them.
#include <string>
#include <vector>

#include "lobby/match_listing.h"

namespace lobby {

struct LobbyRowTexts {
    std::string label;    // the name, then " (you)" on the own lobby; the row's id is its position, pushed apart
    std::string players;  // player count
    std::string seconds;  // seconds since the host's last update
};

// The text of a listing's row in the name column.
std::string LobbyRowLabel(const MatchListing& listing, const std::string& ownLobbyId);

class LobbyRowTextCache {
public:
    // One entry per listing of *listings, in list order; rebuilt when the list or the own lobby changes.
    const std::vector<LobbyRowTexts>& Rows(const MatchListings& listings, const std::string& ownLobbyId);

private:
    MatchListings source;
    std::string own;
    bool valid = false;
    std::vector<LobbyRowTexts> rows;
};

} // namespace lobby
