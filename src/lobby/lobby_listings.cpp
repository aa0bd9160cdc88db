// Fetching the lobby list into the plugin object.
#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace {

MatchListing ToListing(const rllobby_api::responses::LobbyRecord& record)
{
    return MatchListing{record.id,   record.name,        record.ipAddress,        record.port,
                        record.map,  record.playerCount, record.secondsSinceUpdate};
}

} // namespace

void matchbay::ApiGetMatches()
{
    auto api = CurrentLobbyApi();
    if (!api) return;
    std::weak_ptr<matchbay> self = weak_from_this();
    api->GetAllLobbies(
        [self](const rllobby_api::responses::GetAllLobbiesResponse& response) {
            auto plugin = self.lock();
            if (!plugin) return;
            auto empty = std::make_shared<const std::vector<MatchListing>>();
            {
                std::lock_guard<std::mutex> lock(plugin->lobbyListingsMutex);
                plugin->lobbyListings = empty;
            }
            std::vector<MatchListing> converted;
            converted.reserve(response.lobbies.size());
            for (const auto& record : response.lobbies) converted.push_back(ToListing(record));
            auto published = std::make_shared<const std::vector<MatchListing>>(std::move(converted));
            std::lock_guard<std::mutex> lock(plugin->lobbyListingsMutex);
            plugin->lobbyListings = std::move(published);
        },
        [](std::string error) { Log("{}", error); });
}

MatchListings matchbay::LobbyListingsSnapshot() const
{
    std::lock_guard<std::mutex> lock(lobbyListingsMutex);
    return lobbyListings;
}
