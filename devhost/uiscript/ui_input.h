#pragma once
// Text to type into a frame. ImGui's own decoder, given no end, reads past the terminating zero
// when the text ends inside a character; a script or a test may pass any bytes, so they are
// checked whole before any of them is typed.
#include <optional>
#include <string_view>
#include <vector>

namespace kestrel::ui {

// The code points of well-formed UTF-8; nullopt for a truncated or overlong sequence, a stray
// continuation byte, a surrogate or a value past U+10FFFF.
std::optional<std::vector<char32_t>> DecodeUtf8(std::string_view text);

} // namespace kestrel::ui
