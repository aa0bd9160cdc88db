#include "lobby/lobby_filter.h"

#include "lobby/wildcard.h"

namespace lobby {

bool PassesFilters(const MatchListing& listing, const std::string& nameFilter, const std::string& mapFilter)
{
    if (!nameFilter.empty() && !WildcardMatch(nameFilter.c_str(), listing.name.c_str())) return false;
    if (!mapFilter.empty() && !WildcardMatch(mapFilter.c_str(), listing.map.c_str())) return false;
    return true;
}

const std::vector<std::size_t>& LobbyFilterCache::Visible(const MatchListings& listings, const std::string& nameFilter,
                                                          const std::string& mapFilter)
{
    if (valid && listings == source && nameFilter == name && mapFilter == map) return visible;
    source = listings;
    name = nameFilter;
    map = mapFilter;
    valid = true;
    visible.clear();
    if (!listings) return visible;
    for (std::size_t i = 0; i < listings->size(); ++i) {
        if (PassesFilters((*listings)[i], nameFilter, mapFilter)) visible.push_back(i);
    }
    return visible;
}

} // namespace lobby
