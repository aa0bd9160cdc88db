#pragma once
// The lobby the user clicked: a row of the list that was drawn, not an id. Anyone can announce a
// lobby under any id, so listings that share one stay apart and "Connect" joins exactly the
// clicked listing.
#include <cstddef>
#include <optional>

#include "lobby/match_listing.h"

namespace lobby {

class LobbySelection {
public:
    void Select(MatchListings listings, std::size_t index);
    void Clear();
    bool Empty() const { return !list; }
    // Whether row index of listings is the one selected.
    bool Is(const MatchListings& listings, std::size_t index) const;
    // The selected listing while current is still the list it was clicked in; none once another list came.
    std::optional<MatchListing> In(const MatchListings& current) const;

private:
    MatchListings list; // the list the row was clicked in; null: nothing selected
    std::size_t index = 0;
};

} // namespace lobby
