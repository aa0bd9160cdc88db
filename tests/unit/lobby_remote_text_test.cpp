// Remote texts made fit to show: one line, whole characters, bounded, never an empty name.
#include <gtest/gtest.h>

#include <string>

#include "lobby/remote_text.h"

namespace {

using remote_text::Limit;

const std::string kMarker = "\xC2\xB6";
const std::string kFffd = "\xEF\xBF\xBD";

std::string RepeatPiece(const std::string& piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

TEST(RemoteText, OneLineCleansAndCuts)
{
    const struct {
        const char* what;
        std::string text;
        Limit limit;
        std::string expected;
        bool shortened;
    } cases[] = {
        {"plain", "Chill Free Play", remote_text::kName, "Chill Free Play", false},
        {"line breaks, CR LF as one", "Chill\nFriday\r\nRumble\rNight", remote_text::kName,
         "Chill" + kMarker + "Friday" + kMarker + "Rumble" + kMarker + "Night", false},
        {"NUL first", std::string("\0abc", 4), remote_text::kName, kMarker + "abc", false},
        {"tab is a space", "a\tb", remote_text::kName, "a b", false},
        {"DEL, escape and a C1 control", "a\x7f" "b\x1b" "c\xc2\x85" "d", remote_text::kName,
         "a" + kMarker + "b" + kMarker + "c" + kMarker + "d", false},
        {"bytes that are no UTF-8", "a\xff" "b\xc3(\xed\xa0\x80", remote_text::kName,
         "a" + kFffd + "b" + kFffd + "(" + kFffd + kFffd + kFffd, false},
        {"exactly at the cap", std::string(128, 'x'), remote_text::kName, std::string(128, 'x'), false},
        {"one past the cap", std::string(129, 'x'), remote_text::kName, std::string(125, 'x') + "...", true},
        {"a cap in characters, not bytes", RepeatPiece("\xc3\xa9", 128), remote_text::kName, RepeatPiece("\xc3\xa9", 128), false},
        {"cut in characters", RepeatPiece("\xc3\xa9", 129), remote_text::kName, RepeatPiece("\xc3\xa9", 125) + "...", true},
        {"cut after a whole character", "aaaaaa" + RepeatPiece("\xc3\xa9", 2), Limit{100, 9}, "aaaaaa...", true},
        {"free text in bytes", std::string(5000, 'd'), remote_text::kFreeText, std::string(4093, 'd') + "...", true},
        {"empty stays empty", "", remote_text::kName, "", false},
    };
    for (const auto& c : cases) {
        bool shortened = !c.shortened;
        EXPECT_EQ(remote_text::OneLine(c.text, c.limit, &shortened), c.expected) << c.what;
        EXPECT_EQ(shortened, c.shortened) << c.what;
    }
}

TEST(RemoteText, NamesAreNeverEmptyAndCutsAreCounted)
{
    remote_text::Cleaner cleaner;
    EXPECT_EQ(cleaner.Name(""), "(no name)");
    EXPECT_EQ(cleaner.Name("   "), "(no name)");
    EXPECT_EQ(cleaner.Name(std::string("\0", 1)), kMarker);
    EXPECT_EQ(cleaner.Text(""), "");
    EXPECT_EQ(cleaner.Shortened(), 0u);
    // A megabyte costs what its cap does, and a cut name has room left for nothing else.
    EXPECT_EQ(cleaner.Name(std::string(1 << 20, 'n')).size(), 128u);
    EXPECT_EQ(cleaner.Text(std::string(1 << 20, 't')).size(), 4096u);
    EXPECT_EQ(cleaner.Shortened(), 2u);
    EXPECT_EQ(remote_text::ShortenedLine(2, "lobby list"),
              "Shortened 2 text(s) of the lobby list that were longer than allowed");
}

} // namespace
