#pragma once
#include <string>

namespace lobby {

// Letters, digits, dots and hyphens only, and not empty: what a host name or an IPv4
// address needs, and nothing that could end or extend a console command.
bool IsPlainHostAddress(const std::string& address);

} // namespace lobby
