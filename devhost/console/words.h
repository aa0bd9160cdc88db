#pragma once
// Small text helpers of the console; the word syntax itself is the host SDK's.
#include <optional>
#include <string>

#include "bakkesmod/host/console_words.h"

namespace devhost {

using bakkesmod::host::QuoteWord;
using bakkesmod::host::SplitResult;
using bakkesmod::host::SplitWords;

// Parses a whole decimal number within [min, max]; nullopt otherwise.
std::optional<long long> ParseInteger(const std::string& text, long long min, long long max);

std::string ToLower(std::string text);

} // namespace devhost
