#pragma once
// IPv4 addresses for the host names of proxy servers.
#include <string>

namespace platform {

// Whether the system's inet_addr reads text as an IPv4 address.
bool IsIPv4Address(const std::string& text);
// text unchanged when it is an IPv4 address; otherwise the first IPv4 address the resolver
// gives for it, dotted, or "" when it gives none.
std::string ResolveIPv4(const std::string& text);

} // namespace platform
