#pragma once
#include <cstddef>
#include <string>

namespace lobby {

// The longest a host name can be; a longer remote "address" names no host.
inline constexpr std::size_t kMaxHostNameBytes = 253;

// Letters, digits, dots and hyphens only, and not empty: what a host name or an IPv4
// address needs, and nothing that could end or extend a console command.
bool IsPlainHostAddress(const std::string& address);

} // namespace lobby
