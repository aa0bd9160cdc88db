#pragma once
// Text from a remote service, made fit to show once, where its reply is read: valid UTF-8 on one
// line, bounded, and never empty where it names something. Drawing and logging can then take it
// as it is, every frame, at the cost of a short string.
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace remote_text {

// At most this many characters and bytes, the "..." of a cut text included.
struct Limit {
    std::size_t characters = std::numeric_limits<std::size_t>::max();
    std::size_t bytes = std::numeric_limits<std::size_t>::max();
};
inline constexpr Limit kName{128, std::numeric_limits<std::size_t>::max()}; // names, maps, locations, bot names
inline constexpr Limit kFreeText{std::numeric_limits<std::size_t>::max(), 4096}; // descriptions, other free texts

inline constexpr std::string_view kEllipsis = "...";
// Stands for a line break or other control character: U+00B6, which the default font draws.
inline constexpr std::string_view kControlMarker = "\xC2\xB6";
inline constexpr std::string_view kNoName = "(no name)";

// The text on one line: a tab becomes a space, every other control character (NUL, DEL and the C1
// range included; CR LF counts as one) becomes kControlMarker, and a byte that is not part of a
// UTF-8 character becomes U+FFFD. A result over the limit is cut after a whole character and ends
// in "...", so the whole fits; shortened tells whether that happened. Reads no further than the
// limit needs, so a text of megabytes costs what a short one does.
std::string OneLine(std::string_view text, Limit limit, bool* shortened = nullptr);

// Cleans the texts of one reply and counts those it had to cut, so the reply's reader can say so
// in one log line.
class Cleaner {
public:
    // OneLine with kName; kNoName for a text with nothing visible in it (empty or only spaces).
    std::string Name(std::string_view text);
    std::string Text(std::string_view text, Limit limit = kFreeText);
    std::size_t Shortened() const { return shortened; }

private:
    std::size_t shortened = 0;
};

// "Shortened 2 text(s) of the <reply> that were longer than allowed".
std::string ShortenedLine(std::size_t count, std::string_view reply);

// Whether text is well-formed UTF-8 throughout (no overlong forms, surrogates or values past
// U+10FFFF), for values that must be kept exactly or refused rather than cleaned.
bool IsValidUtf8(std::string_view text);

} // namespace remote_text
