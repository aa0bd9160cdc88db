// Fetching the lobby list into the plugin object.
#include <algorithm>

#include "lobby/remote_text.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace {

// A count below zero counts nothing: it shows as 0.
MatchListing ToListing(const rllobby_api::responses::LobbyRecord& record)
{
    return MatchListing{record.id,
                        record.name,
                        record.ipAddress,
                        record.port,
                        record.map,
                        std::max(record.playerCount, 0),
                        std::max(record.secondsSinceUpdate, 0),
                        record.unjoinable};
}

void LogReadProblems(const rllobby_api::responses::GetAllLobbiesResponse& response)
{
    if (response.skipped > 0)
        Log("Skipped {} lobby(s) of the lobby list that could not be read; the first: {}", response.skipped,
            response.firstSkipReason);
    if (response.textsShortened > 0) LogLine(remote_text::ShortenedLine(response.textsShortened, "lobby list"));
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
            LogReadProblems(response);
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
