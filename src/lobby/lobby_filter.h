#pragma once
// Which lobbies pass the two filters. Recomputed only when the list or a filter changes,
// so a large list costs nothing per frame while the user just looks at it.
#include <cstddef>
#include <string>
#include <vector>

#include "lobby/match_listing.h"

namespace lobby {

// An empty filter lets every listing through.
bool PassesFilters(const MatchListing& listing, const std::string& nameFilter, const std::string& mapFilter);

class LobbyFilterCache {
public:
    // Indices into *listings of the listings that pass, in list order.
    const std::vector<std::size_t>& Visible(const MatchListings& listings, const std::string& nameFilter,
                                            const std::string& mapFilter);

private:
    MatchListings source;
    std::string name;
    std::string map;
    bool valid = false;
    std::vector<std::size_t> visible;
};

} // namespace lobby
