#pragma once
// How a log line or status entry quotes a body from a remote service: a rejected reply can be
// megabytes long, and one console line must stay readable.
#include <cstddef>
#include <string>

inline constexpr std::size_t kQuotedBodyLimit = 1024;

// The whole body when it is at most kQuotedBodyLimit bytes; otherwise its first
// kQuotedBodyLimit bytes (fewer when that would split a UTF-8 sequence) followed by
// "... (N more bytes left out)".
std::string QuotedBody(const std::string& body);
