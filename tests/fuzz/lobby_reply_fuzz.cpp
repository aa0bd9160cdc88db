// Any body the lobby service may send: parsing ends in a value or an error text, and whatever a
// parsed lobby holds, the browser's filters and the join check treat it soundly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lobby/http_utils.h"
#include "lobby/lobby_address.h"
#include "lobby/responses.h"
#include "lobby/wildcard.h"

namespace {

void Require(bool condition)
{
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    auto parsed = http_utils::ParseResponse<rllobby_api::responses::GetAllLobbiesResponse>(body);
    // A failure never leaves a list behind, and always says why.
    Require(parsed.success == parsed.error.empty());
    Require(parsed.success || parsed.value.lobbies.empty());
    for (const auto& lobby : parsed.value.lobbies) {
        // Names and maps are shown as they are: never empty, on one line, bounded.
        for (const std::string* text : {&lobby.name, &lobby.map}) {
            Require(!text->empty() && text->size() <= 128 * 4);
            for (unsigned char c : *text) Require(c >= 0x20 && c != 0x7f);
        }
        // Only a port can reach the travel command.
        if (lobby.unjoinable.empty()) Require(lobby.port >= 1 && lobby.port <= 65535);
        // Every name passes a filter that is the name itself, or the name followed by "*":
        // "*" and "?" in a name match themselves too.
        Require(WildcardMatch(lobby.name.c_str(), lobby.name.c_str()));
        Require(WildcardMatch((lobby.name + "*").c_str(), lobby.name.c_str()));
        Require(WildcardMatch("*", lobby.map.c_str()));
        // An address cleared for the travel command cannot end or extend it.
        if (lobby::IsPlainHostAddress(lobby.ipAddress)) {
            Require(!lobby.ipAddress.empty());
            Require(lobby.ipAddress.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") ==
                    std::string::npos);
        }
    }
    return 0;
}
