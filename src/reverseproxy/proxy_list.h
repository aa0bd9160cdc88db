#pragma once
// The proxy list service's answer, read by a small scanner rather than a JSON parser: the
// service's documents are flat, and the scanner's quirks are what stored lists rely on.
#include <cstdint>
#include <string>

namespace reverse_proxy {

// The value of "key" in one object's text, or empty: a quoted value up to the next quote (no
// escapes), any other value up to the first ',', LF, CR or '}' with trailing blanks removed.
std::string ExtractJsonValue(const std::string& objectText, const std::string& key);

// A port or other decimal number the way the list has always been read: leading blanks and a
// sign accepted, the first non-digit ends it. Throws std::invalid_argument("invalid stoi
// argument") without digits, std::out_of_range("stoi argument out of range") beyond int32.
std::int32_t ParseDecimalInt(const std::string& text);

} // namespace reverse_proxy
