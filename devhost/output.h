#pragma once
// One writer for the host's console lines: plugin log lines, game lines and the host's
// own messages come from several threads and must not interleave mid-line.
#include <string>

namespace devhost {

// Writes the line and a newline to standard output and flushes it.
void PrintLine(const std::string& line);
// A message from the host itself, prefixed with "devhost: ".
void HostMessage(const std::string& text);

} // namespace devhost
