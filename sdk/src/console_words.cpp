#include "bakkesmod/host/console_words.h"

namespace bakkesmod::host {

SplitResult SplitWords(const std::string& line)
{
    SplitResult result;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            const char next = i + 1 < line.size() ? line[i + 1] : '\0';
            if (c == '\\' && (next == '"' || next == '\\' || next == 'n' || next == 'r')) {
                word += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
                ++i;
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
        if (c == ' ' || c == '\t' || c == '"' || c == '\\' || c == '\n' || c == '\r') plain = false;
    }
    if (plain) return word;
    std::string quoted = "\"";
    for (char c : word) {
        if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\r') {
            quoted += "\\r";
        } else {
            if (c == '"' || c == '\\') quoted += '\\';
            quoted += c;
        }
    }
    return quoted + "\"";
}

} // namespace bakkesmod::host
