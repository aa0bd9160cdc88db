#include "words.h"

#include <cctype>
#include <charconv>

namespace devhost {

SplitResult SplitWords(const std::string& line)
{
    SplitResult result;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
                word += line[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c == '"') {
            quoted = true;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord) result.words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted) {
        result.error = "unterminated quote";
        result.words.clear();
        return result;
    }
    if (inWord) result.words.push_back(word);
    return result;
}

std::string QuoteWord(const std::string& word)
{
    bool plain = !word.empty();
    for (char c : word) {
        if (c == ' ' || c == '\t' || c == '"' || c == '\\') plain = false;
    }
    if (plain) return word;
    std::string quoted = "\"";
    for (char c : word) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::optional<long long> ParseInteger(const std::string& text, long long min, long long max)
{
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end || value < min || value > max) return std::nullopt;
    return value;
}

std::string ToLower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace devhost
