#include "lobby/lobby_row_texts.h"

namespace lobby {

std::string LobbyRowLabel(const MatchListing& listing, const std::string& ownLobbyId)
{
    std::string label = listing.name;
    if (listing.id == ownLobbyId) label += " (you)";
    return label;
}

const std::vector<LobbyRowTexts>& LobbyRowTextCache::Rows(const MatchListings& listings, const std::string& ownLobbyId)
{
    if (valid && listings == source && ownLobbyId == own) return rows;
    source = listings;
    own = ownLobbyId;
    valid = true;
    rows.clear();
    if (!listings) return rows;
    rows.reserve(listings->size());
    for (const MatchListing& listing : *listings) {
        rows.push_back({LobbyRowLabel(listing, ownLobbyId), std::to_string(listing.playerCount),
                        std::to_string(listing.secondsSinceUpdate)});
    }
    return rows;
}

} // namespace lobby
