#include "lobby/remote_text.h"

#include <cstdint>

#include <fmt/format.h>

namespace remote_text {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Length of the UTF-8 character at text[i], or 0 when the bytes there are not one (overlong
// forms, surrogates and values past U+10FFFF included). code receives its value.
std::size_t CharacterAt(std::string_view text, std::size_t i, std::uint32_t& code)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool IsControl(std::uint32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

} // namespace

std::string OneLine(std::string_view text, Limit limit, bool* shortened)
{
    std::string out;
    std::size_t characters = 0;
    // Where the text would be cut if it turns out too long: the last point with room for "...".
    std::size_t cutBytes = 0;
    bool cut = false;
    std::size_t i = 0;
    while (i < text.size()) {
        std::uint32_t code = 0;
        std::size_t length = CharacterAt(text, i, code);
        std::string_view piece;
        if (length == 0) {
            piece = kReplacement;
            length = 1;
        } else if (code == '\t') {
            piece = " ";
        } else if (IsControl(code)) {
            piece = kControlMarker;
            if (code == '\r' && i + 1 < text.size() && text[i + 1] == '\n') length = 2;
        } else {
            piece = text.substr(i, length);
        }
        if (characters + 1 > limit.characters || out.size() + piece.size() > limit.bytes) {
            cut = true;
            break;
        }
        if (characters + kEllipsis.size() <= limit.characters && out.size() + kEllipsis.size() <= limit.bytes)
            cutBytes = out.size();
        out += piece;
        ++characters;
        i += length;
    }
    if (cut) {
        out.resize(cutBytes);
        out += kEllipsis;
    }
    if (shortened) *shortened = cut;
    return out;
}

std::string Cleaner::Name(std::string_view text)
{
    bool cut = false;
    std::string name = OneLine(text, kName, &cut);
    shortened += cut ? 1 : 0;
    if (name.find_first_not_of(' ') == std::string::npos) return std::string(kNoName);
    return name;
}

std::string Cleaner::Text(std::string_view text, Limit limit)
{
    bool cut = false;
    std::string cleaned = OneLine(text, limit, &cut);
    shortened += cut ? 1 : 0;
    return cleaned;
}

std::string ShortenedLine(std::size_t count, std::string_view reply)
{
    return fmt::format("Shortened {} text(s) of the {} that were longer than allowed", count, reply);
}

bool IsValidUtf8(std::string_view text)
{
    std::uint32_t code = 0;
    for (std::size_t i = 0, length = 0; i < text.size(); i += length)
        if ((length = CharacterAt(text, i, code)) == 0) return false;
    return true;
}

} // namespace remote_text
