// The console variable file on its own: values the plugin may set come back byte for byte,
// and a file that could not be read whole is kept before it is rewritten.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "config_file.h"
#include "devhost_process.h"

namespace devhost_test {
namespace {

std::string Contents(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ConfigFileFormat, EveryValueReadsBackAsWritten)
{
    TempDir dir;
    const auto file = dir.path() / "cfg" / "config.cfg";
    const std::map<std::string, std::string> values{
        {"empty", ""},
        {"spaces", "two  words "},
        {"quotes", "say \"hi\""},
        {"backslashes", "C:\\new\\table\\"},
        {"lines", "first\nsecond\r\nthird"},
        {"escape_like", "\\n is not a line break here"},
    };
    ASSERT_EQ(devhost::WriteConfig(file, values), "");
    const auto read = devhost::ReadConfig(file);
    EXPECT_TRUE(read.warnings.empty()) << read.warnings.front();
    EXPECT_EQ(read.values, values);
    // One line per variable, whatever the values hold.
    const std::string text = Contents(file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(values.size()) + 1) << text;
}

TEST(ConfigFileFormat, HandWrittenLinesAndTheirFaults)
{
    TempDir dir;
    const auto file = dir.path() / "config.cfg";
    std::ofstream(file) << "# comment\r\n"
                           "  plain 42  \r\n"
                           "old \"C:\\\\games\\\\rl\"\n"
                           "open \"no end\n"
                           "trailing \"x\" y\n";
    const auto read = devhost::ReadConfig(file);
    EXPECT_EQ(read.values, (std::map<std::string, std::string>{{"plain", "42"}, {"old", "C:\\games\\rl"}}));
    ASSERT_EQ(read.warnings.size(), 2u);
    EXPECT_NE(read.warnings[0].find(":4: unterminated quote, line skipped"), std::string::npos) << read.warnings[0];
    EXPECT_NE(read.warnings[1].find(":5: expected a name and one quoted value"), std::string::npos) << read.warnings[1];

    // Loading keeps the file as it was, since the next save drops the skipped lines.
    devhost::ConfigFile config(file);
    config.load();
    const std::string before = Contents(file);
    config.store("plain", "43");
    EXPECT_EQ(Contents(dir.path() / "config.cfg.bak"), before);
    EXPECT_EQ(devhost::ReadConfig(file).values.at("plain"), "43");
}

} // namespace
} // namespace devhost_test
