// Joining a listed lobby: a LAN travel command to its address, run on the game thread.
#include <fmt/format.h>

#include "bakkesmod/wrappers/GameWrapper.h"
#include "lobby/lobby_address.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

void matchbay::JoinLobby(const MatchListing& listing)
{
    if (!listing.unjoinable.empty()) {
        LogLine("Not joining the lobby: " + listing.unjoinable);
        return;
    }
    // Anyone can announce a lobby, and its address goes into a console command: only a
    // plain host name or IPv4 address may get that far.
    if (!lobby::IsPlainHostAddress(listing.ipAddress)) {
        LogLine("Not joining the lobby: its address is not a plain host name or IPv4 address");
        return;
    }
    std::string command = fmt::format("open {}:{}?Lan?Password={}", listing.ipAddress, listing.port, lobbyPassword);
    if (!gameWrapper) return;
    NoteTravel(command);
    gameWrapper->Execute([command = std::move(command)](GameWrapper* game) { game->ExecuteUnrealCommand(command); });
}
