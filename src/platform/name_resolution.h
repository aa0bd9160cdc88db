#pragma once
// IPv4 addresses for the host names of proxy servers, with lookups that a caller that is going
// away can leave at once.
#include <functional>
#include <string>

namespace platform {

// Asked every few tens of milliseconds while a lookup waits; true ends the wait.
using StopCheck = std::function<bool()>;

// Whether the system's inet_addr reads text as an IPv4 address.
bool IsIPv4Address(const std::string& text);
// text unchanged when it is an IPv4 address; otherwise the first IPv4 address the resolver
// gives for it, dotted, or "" when it gives none or stopping() turned true first. A stopped
// lookup leaves nothing that runs the caller's code afterwards, so the library holding the
// caller may be unloaded right after.
std::string ResolveIPv4(const std::string& text, const StopCheck& stopping = {});

} // namespace platform
