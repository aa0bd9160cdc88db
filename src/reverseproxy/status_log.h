#pragma once
// The reverse proxy's short status log: capped, timestamped, tagged on the console.
#include <cstddef>
#include <deque>
#include <string>

#include "reverseproxy/reverse_proxy_state.h"

namespace reverse_proxy {

inline constexpr std::size_t statusLogCapacity = 10;

// "[INFO] ", "[SUCCESS] ", "[WARNING] ", "[ERROR] ".
const char* LevelTag(LogLevel level);
// Local wall-clock time now, "%H:%M:%S".
std::string LocalTimestamp();
// Appends, dropping the oldest entries beyond statusLogCapacity.
void AppendCapped(std::deque<StatusLogEntry>& log, StatusLogEntry entry);

} // namespace reverse_proxy
