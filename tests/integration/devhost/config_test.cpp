// Console variables kept between runs in the config file, and plugin reloads.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "console/config_file.h"
#include "devhost_process.h"

namespace devhost_test {
namespace {

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The file format on its own, in-process: values the plugin may set come back byte for byte,
// including ones no console line can type, and a file that could not be read whole is kept
// before it is rewritten.
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
    const std::string text = ReadFile(file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(values.size()) + 1) << text;
}

TEST(ConfigFileFormat, HandWrittenLinesRead)
{
    TempDir dir;
    const auto file = dir.path() / "config.cfg";
    std::ofstream(file) << "# comment\r\n"
                           "  plain 42  \r\n"
                           "old \"C:\\\\games\\\\rl\"\n";
    const auto read = devhost::ReadConfig(file);
    EXPECT_TRUE(read.warnings.empty());
    EXPECT_EQ(read.values, (std::map<std::string, std::string>{{"plain", "42"}, {"old", "C:\\games\\rl"}}));
}

TEST(DevhostConfig, LobbyEndpointChangeSurvivesARestart)
{
    TempDir dir;
    auto first = RunScript(dir, "kzlobby_endpoint \"http://127.0.0.1:9/other lobby\"\n");
    ASSERT_EQ(first.status, 0) << first.output;
    const auto config = dir.path() / "data/appdata/bakkesmod/bakkesmod/cfg/config.cfg";
    EXPECT_NE(ReadFile(config).find("kzlobby_endpoint \"http://127.0.0.1:9/other lobby\"\n"), std::string::npos)
        << ReadFile(config);

    // The saved value wins over the plugin's default when it registers the variable again.
    auto second = RunScript(dir, "kzlobby_endpoint\n");
    ASSERT_EQ(second.status, 0) << second.output;
    EXPECT_NE(second.output.find("\nendpoint: http://127.0.0.1:9/other lobby\n"), std::string::npos)
        << second.output;
    EXPECT_NE(second.output.find("kzlobby_endpoint = \"http://127.0.0.1:9/other lobby\""), std::string::npos)
        << second.output;
}

TEST(DevhostConfig, MalformedLinesAreSkippedWithTheirLineNumber)
{
    TempDir dir;
    const auto config = dir.path() / "my.cfg";
    std::ofstream(config) << "// a comment\n"
                             "kzlobby_endpoint \"http://127.0.0.1:8/saved\"\n"
                             "name with \"too many\" words\n"
                             "broken \"quote\n"
                             "other_plugin_var \"kept\"\n";
    const std::string original = ReadFile(config);
    auto run = RunScript(dir, "", {"--config", config.string()});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("my.cfg:3: expected a name and one quoted value, line skipped"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("my.cfg:4: unterminated quote, line skipped"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("endpoint: http://127.0.0.1:8/saved"), std::string::npos) << run.output;
    // Rewritten at exit: the good lines stay, including a variable nobody registered this run.
    const std::string saved = ReadFile(config);
    EXPECT_NE(saved.find("other_plugin_var \"kept\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("kzlobby_endpoint \"http://127.0.0.1:8/saved\""), std::string::npos) << saved;
    // What could not be read is kept aside, since the rewrite drops it.
    EXPECT_EQ(ReadFile(dir.path() / "my.cfg.bak"), original);
}

TEST(DevhostReload, TwentyUnloadLoadCyclesKeepThePluginWorking)
{
    TempDir dir;
    std::string script = "kzlobby_endpoint http://127.0.0.1:9/kept\ntogglemenu matchbay\nframes 1\n";
    for (int i = 0; i < 20; ++i) {
        script += "plugin unload matchbay\nplugin load " KESTREL_PLUGIN_PATH "\n";
        script += "kz addBot bot" + std::to_string(i) + "\nhttp get http://127.0.0.1:1/\n";
    }
    script += "togglemenu matchbay\nframes 2\nkz kzlaunch Park_P TAGame.GameInfo_Soccar_TA BotsNone ?Lan\n";
    auto run = RunScript(dir, script);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(LinesStartingWith(run.output, "devhost: unloaded matchbay").size(), 21u); // with the one at exit
    EXPECT_EQ(LinesStartingWith(run.output, "devhost: loaded matchbay").size(), 21u);
    EXPECT_EQ(LinesStartingWith(run.output, "Added bot: ").size(), 20u);
    // The variable's value outlives its callbacks and comes back on every load.
    EXPECT_EQ(LinesStartingWith(run.output, "endpoint: http://127.0.0.1:9/kept").size(), 20u) << run.output;
    EXPECT_EQ(LinesStartingWith(run.output, "[game] open Park_P").size(), 1u);
    EXPECT_EQ(run.output.find("Sanitizer"), std::string::npos) << run.output;
}

} // namespace
} // namespace devhost_test
