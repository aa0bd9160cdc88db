#pragma once
// The map selector's rules, kept apart from its drawing so they can be checked without a UI.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace catalogue {

inline constexpr std::size_t mapSearchBufferSize = 64;  // 63 characters and the terminating zero
inline constexpr const char* noMapChosenPreview = "Select a map";

// True when name contains search as a contiguous run, ASCII letters compared without case (other bytes as they
// are). An empty search matches every name; a search longer than the name matches none.
bool MapNameMatches(std::string_view search, std::string_view name);

// A stored index at or beyond the end of the list (the list shrank) falls back to the first entry. A negative
// index stays: it means "nothing chosen".
void ClampMapIndex(std::int32_t& selectedIndex, std::size_t nameCount);

// The closed selector's text: the chosen name, or noMapChosenPreview when the index is negative or the list empty.
std::string MapPreview(std::int32_t selectedIndex, const std::vector<std::string>& names);

// The search text held in a field buffer: up to its first zero byte, at most size - 1 bytes.
std::string_view SearchText(const char* buffer, std::size_t size);

}  // namespace catalogue
