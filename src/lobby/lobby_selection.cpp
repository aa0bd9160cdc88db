#include "lobby/lobby_selection.h"

#include <utility>

namespace lobby {

void LobbySelection::Select(MatchListings listings, std::size_t row)
{
    list = std::move(listings);
    index = row;
}

void LobbySelection::Clear() { list.reset(); }

bool LobbySelection::Is(const MatchListings& listings, std::size_t row) const
{
    return list && list == listings && index == row;
}

std::optional<MatchListing> LobbySelection::In(const MatchListings& current) const
{
    if (!Is(current, index) || index >= current->size()) return std::nullopt;
    return (*current)[index];
}

} // namespace lobby
