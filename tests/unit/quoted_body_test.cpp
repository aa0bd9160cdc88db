// Remote bodies quoted in log lines and status entries.
#include <gtest/gtest.h>

#include <string>

#include "plugin/quoted_body.h"

namespace {

TEST(QuotedBody, QuotesTheFirstKibibyteAndCountsTheRest)
{
    const std::string euro = "\xE2\x82\xAC"; // three bytes
    struct Case {
        const char* what;
        std::string body;
        std::string expected;
    };
    const Case cases[] = {
        {"empty", "", ""},
        {"exactly the limit", std::string(1024, 'a'), std::string(1024, 'a')},
        {"one byte over", std::string(1025, 'a'), std::string(1024, 'a') + "... (1 more bytes left out)"},
        {"600 KB", std::string(600000, 'b'), std::string(1024, 'b') + "... (598976 more bytes left out)"},
        // A character across the cut is left out whole rather than split.
        {"character across the cut", std::string(1023, 'c') + euro + "tail",
         std::string(1023, 'c') + "... (7 more bytes left out)"},
        {"character ending at the cut", std::string(1021, 'd') + euro + "tail",
         std::string(1021, 'd') + euro + "... (4 more bytes left out)"},
        // Not UTF-8 at all: the back-off stops after three bytes.
        {"continuation bytes only", std::string(2000, '\x80'), std::string(1021, '\x80') + "... (979 more bytes left out)"},
    };
    for (const auto& c : cases) EXPECT_EQ(QuotedBody(c.body), c.expected) << c.what;
}

} // namespace
