#pragma once

// Anchored, byte-wise, case-sensitive match: "*" is any run of bytes (also none), "?" is
// exactly one byte, every other byte matches itself.
bool WildcardMatch(const char* pattern, const char* text);
