#pragma once
// The Host Lan tab's "Match Password": what may be one, and where it is kept. It is never
// written to the configuration or to a log line; only the travel command carries it.
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>

namespace hosting {

inline constexpr std::size_t maxMatchPasswordLength = 32; // characters, not bytes

// Why the password cannot go into the travel command, or nullopt when it can (an empty one
// can: the match is then open to anyone).
std::optional<std::string> MatchPasswordRefusal(const std::string& password);

// The Host Lan network options, with the password option when there is a password.
std::string LanNetworkOptions(const std::string& password);

// The field's text, shared by the drawing pass and the console (game thread). It lives as
// long as the library, like the tab's other state.
class MatchPasswordText {
public:
    std::string Get() const;
    void Set(std::string password);
    bool IsSet() const;

private:
    mutable std::mutex mutex;
    std::string password;
};

MatchPasswordText& MatchPassword();

} // namespace hosting
