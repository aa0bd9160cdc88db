#include "toml_ascii.h"

#include <cstdint>
#include <cstdio>

namespace tunnel {

namespace {

// Length of the well-formed UTF-8 sequence at `at` and its code point, or 0 (overlong forms,
// surrogates and values above U+10FFFF are not UTF-8).
size_t DecodeUtf8(const std::string& text, size_t at, std::uint32_t& point)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, point = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, point = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, point = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        point = (point << 6) | (byte(at + i) & 0x3F);
    }
    if (point < minimum || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
    return length;
}

std::string Escape(std::uint32_t point)
{
    char buffer[16];
    if (point <= 0xFFFF) {
        std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(point));
    } else {
        std::snprintf(buffer, sizeof buffer, "\\U%08X", static_cast<unsigned>(point));
    }
    return buffer;
}

class Converter {
public:
    explicit Converter(const std::string& text) : in(text) {}

    AsciiToml Run()
    {
        while (at < in.size() && !result.refusedLine) {
            const char c = in[at];
            if (c == '#') {
                Comment();
            } else if (c == '"' || c == '\'') {
                String(c);
            } else if (static_cast<unsigned char>(c) > 0x7F) {
                std::uint32_t point = 0;
                Refuse(DecodeUtf8(in, at, point) ? "a character outside a string or comment that TOML does not allow"
                                                 : "invalid UTF-8");
            } else {
                Copy(c);
            }
        }
        if (result.refusedLine) result.text.clear();
        return std::move(result);
    }

private:
    void Refuse(const char* why)
    {
        result.refusedLine = line;
        result.reason = why;
    }
    void Copy(char c)
    {
        if (c == '\n') ++line;
        result.text += c;
        ++at;
    }
    // Reads the character at `at` above U+007F; false (and refused) when it is no UTF-8.
    bool Wide(std::uint32_t& point)
    {
        const size_t length = DecodeUtf8(in, at, point);
        if (!length) {
            Refuse("invalid UTF-8");
            return false;
        }
        at += length;
        return true;
    }
    bool Starts(const std::string& delimiter, size_t from) const { return in.compare(from, delimiter.size(), delimiter) == 0; }

    void Comment()
    {
        while (at < in.size() && in[at] != '\n' && !result.refusedLine) {
            if (static_cast<unsigned char>(in[at]) <= 0x7F) {
                Copy(in[at]);
                continue;
            }
            std::uint32_t point = 0;
            if (Wide(point)) result.text += '?';
        }
    }

    // Where the string opened at `at` ends (past its closing delimiter), or npos when it does
    // not; a multi-line string's closing run may hold up to two quotes of its content.
    size_t End(char quote, bool multi) const
    {
        const std::string delimiter = multi ? std::string(3, quote) : std::string(1, quote);
        for (size_t i = at + delimiter.size(); i < in.size(); ++i) {
            if (!multi && in[i] == '\n') return std::string::npos;
            if (quote == '"' && in[i] == '\\') {
                ++i;
                continue;
            }
            if (Starts(delimiter, i)) {
                size_t end = i + delimiter.size();
                for (int extra = 0; multi && extra < 2 && end < in.size() && in[end] == quote; ++extra) ++end;
                return end;
            }
        }
        return std::string::npos;
    }

    void String(char quote)
    {
        const bool multi = Starts(std::string(3, quote), at);
        const size_t delimiterSize = multi ? 3 : 1;
        const size_t end = End(quote, multi);
        bool wide = false;
        for (size_t i = at; i < (end == std::string::npos ? in.size() : end); ++i)
            wide = wide || static_cast<unsigned char>(in[i]) > 0x7F;
        if (quote == '\'' && wide && end != std::string::npos) {
            LiteralAsBasic(multi, end - delimiterSize);
            return;
        }
        // A basic string, a literal one that is ASCII already, or one that never closes (the
        // parser names that error; its characters only need to stay out of its way).
        const size_t stop = end == std::string::npos ? in.size() : end;
        while (at < stop && !result.refusedLine) {
            const char c = in[at];
            if (!multi && c == '\n') return; // the parser reports the open string here
            if (quote == '"' && c == '\\' && at + 1 < stop) {
                if (static_cast<unsigned char>(in[at + 1]) > 0x7F) {
                    Refuse("a backslash before a character that starts no escape");
                    return;
                }
                Copy(c);
                Copy(in[at]);
                continue;
            }
            if (static_cast<unsigned char>(c) <= 0x7F) {
                Copy(c);
                continue;
            }
            std::uint32_t point = 0;
            if (Wide(point)) result.text += quote == '"' ? Escape(point) : "?";
        }
    }

    // The literal string from `at` to its closing delimiter at `close`, written as the basic
    // string of the same value (quotes of a closing run beyond its last three are content, so
    // they come before `close`).
    void LiteralAsBasic(bool multi, size_t close)
    {
        const size_t delimiterSize = multi ? 3 : 1;
        result.text += multi ? "\"\"\"" : "\"";
        at += delimiterSize;
        while (at < close && !result.refusedLine) {
            const char c = in[at];
            if (c == '\\' || c == '"') {
                result.text += '\\';
                result.text += c;
                ++at;
            } else if (static_cast<unsigned char>(c) <= 0x7F) {
                Copy(c);
            } else {
                std::uint32_t point = 0;
                if (Wide(point)) result.text += Escape(point);
            }
        }
        result.text += multi ? "\"\"\"" : "\"";
        at = close + delimiterSize;
    }

    const std::string& in;
    size_t at = 0;
    int line = 1;
    AsciiToml result;
};

} // namespace

AsciiToml ToAsciiToml(const std::string& text) { return Converter(text).Run(); }

} // namespace tunnel
