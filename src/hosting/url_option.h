#pragma once
// Values a player types that end up inside a travel command's URL options ("?Password=...").
#include <string>

namespace hosting {

// False for text holding what the map-name check refuses ('|', control characters), '?' (it
// would start another URL option) or '#' (the game reads what follows it as a portal, not as
// part of the options).
bool IsSafeUrlOptionValue(const std::string& text);

// The value of the first "?Password=" option of a travel command; empty when it has none.
std::string PasswordOption(const std::string& command);

// The command as a log line may show it: every password option's value replaced by "***".
std::string WithoutPassword(const std::string& command);

// What a travel command leaves running on this machine.
enum class HostedMatch {
    None,   // no listen server (a join, a map without "?Listen", nothing yet)
    Open,   // a listen server without a password
    Locked, // a listen server with one
};
HostedMatch HostedMatchOf(const std::string& command);

} // namespace hosting
