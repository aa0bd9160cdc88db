#include "lobby/wildcard.h"

bool WildcardMatch(const char* pattern, const char* text)
{
    while (*text && *pattern != '*') {
        if (*pattern != *text && *pattern != '?') return false;
        ++pattern;
        ++text;
    }

    // Backtracking needs only the last "*": a later star subsumes every earlier one.
    const char* patternMark = nullptr;
    const char* textMark = nullptr;
    while (*text) {
        if (*pattern == '*') {
            if (!*++pattern) return true;
            patternMark = pattern;
            textMark = text + 1;
        } else if (*pattern == *text || *pattern == '?') {
            ++pattern;
            ++text;
        } else {
            pattern = patternMark;
            text = textMark++;
        }
    }
    while (*pattern == '*') ++pattern;
    return !*pattern;
}
