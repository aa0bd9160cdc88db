// The stand-in client's reader hands toml++ only ASCII; what it reads must be the values the file
// holds, in every kind of TOML string, and what TOML refuses stays refused.
#include <gtest/gtest.h>

#include <string>

#include "client_config.h"
#include "toml_ascii.h"

namespace {

TEST(TomlAscii, EveryKindOfStringKeepsItsValue)
{
    struct Case {
        const char* text;
        const char* value;
    };
    // "é" (2 bytes), "€" (3), "😀" (4, beyond U+FFFF).
    const Case cases[] = {
        {"serverAddr = \"caf\xc3\xa9 \xe2\x82\xac\xf0\x9f\x98\x80\"", "caf\xc3\xa9 \xe2\x82\xac\xf0\x9f\x98\x80"},
        {"serverAddr = 'C:\\caf\xc3\xa9 \"q\"'", "C:\\caf\xc3\xa9 \"q\""},
        {"serverAddr = '''\nl\xc3\xa9\\n''\"'''''", "l\xc3\xa9\\n''\"''"},
        // A backslash that ends its line trims the break and the blanks up to the next character.
        {"serverAddr = \"\"\"a\\  \n\n  \xc3\xa9\"\"\"", "a\xc3\xa9"},
        {"serverAddr = \"\\\\\xc3\xa9\" # caf\xc3\xa9", "\\\xc3\xa9"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto config = tunnel::ParseClientConfig(c.text, error);
        ASSERT_TRUE(config) << c.text << ": " << error;
        EXPECT_EQ(config->serverAddr, c.value) << c.text;
    }
    // ASCII files reach the parser untouched.
    const std::string ascii = "serverAddr = 'a\\b' # x\n[auth]\ntoken = \"\"\"t\\\n  u\"\"\"\n";
    EXPECT_EQ(tunnel::ToAsciiToml(ascii).text, ascii);
}

TEST(TomlAscii, WhatTomlDoesNotAllowIsRefusedWithItsLine)
{
    struct Case {
        const char* text;
        int line;
        const char* reason;
    };
    const Case cases[] = {
        {"serverAddr = \"a\"\n\xc3\xa9 = 1", 2, "outside a string or comment"},
        {"serverAddr = \"\\\xc3\xa9\"", 1, "a backslash before a character that starts no escape"},
        {"# \xc3\n", 1, "invalid UTF-8"},
        {"serverAddr = \"\xed\xa0\x80\"", 1, "invalid UTF-8"}, // a surrogate
        {"serverAddr = '\xc0\xaf'", 1, "invalid UTF-8"},         // an overlong "/"
        {"\n\nserverAddr = \"\"\"\n\xf4\x90\x80\x80\"\"\"", 4, "invalid UTF-8"}, // above U+10FFFF
    };
    for (const Case& c : cases) {
        const auto ascii = tunnel::ToAsciiToml(c.text);
        EXPECT_EQ(ascii.refusedLine, c.line) << c.text;
        EXPECT_NE(ascii.reason.find(c.reason), std::string::npos) << c.text << ": " << ascii.reason;
        std::string error;
        EXPECT_FALSE(tunnel::ParseClientConfig(c.text, error)) << c.text;
    }
}

} // namespace
