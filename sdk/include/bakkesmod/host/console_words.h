#pragma once
// The host console's word syntax, shared by every host: spaces separate words, double quotes
// group words with spaces, and inside quotes \" \\ \n \r stand for a quote, a backslash and the
// two line-break characters, so any text, a config value with a line break too, fits on one line.
#include <optional>
#include <string>
#include <vector>

namespace bakkesmod::host {

struct SplitResult {
    std::vector<std::string> words;
    std::optional<std::string> error; // set when the line cannot be read (an open quote)
};

SplitResult SplitWords(const std::string& line);

// The reverse: quotes a word when it needs it, so a joined line splits back the same, byte for byte.
std::string QuoteWord(const std::string& word);

} // namespace bakkesmod::host
