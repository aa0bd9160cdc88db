#pragma once
// Splitting a console line into words: spaces separate, double quotes group words with
// spaces, and inside quotes \" and \\ stand for a quote and a backslash.
#include <optional>
#include <string>
#include <vector>

namespace devhost {

struct SplitResult {
    std::vector<std::string> words;
    std::optional<std::string> error; // set when the line cannot be read (an open quote)
};

SplitResult SplitWords(const std::string& line);

// The reverse: quotes a word when it needs it, so a joined line splits back the same.
std::string QuoteWord(const std::string& word);

// Parses a whole decimal number within [min, max]; nullopt otherwise.
std::optional<long long> ParseInteger(const std::string& text, long long min, long long max);

std::string ToLower(std::string text);

} // namespace devhost
