// The console against the real plugin: notifier commands, console variables, key binds,
// the simulated game's null paths, and what bad input gets.
#include <gtest/gtest.h>

#include <fstream>

#include "devhost_process.h"

namespace devhost_test {
namespace {

constexpr const char* kLaunch =
    "kz kzlaunch Park_P TAGame.GameInfo_Soccar_TA BotsNone,PlayerCount8 ?Lan?Listen";

TEST(DevhostConsole, SixWordLaunchReachesTheGame)
{
    TempDir dir;
    auto run = RunScript(dir, std::string(kLaunch) + "\n");
    ASSERT_EQ(run.status, 0) << run.output;
    auto game = LinesStartingWith(run.output, "[game] open ");
    ASSERT_EQ(game.size(), 1u) << run.output;
    EXPECT_EQ(game[0],
              "[game] open Park_P?Playtest?game=TAGame.GameInfo_Soccar_TA?GameTags=BotsNone,PlayerCount8?Lan?Listen");
}

TEST(DevhostConsole, FiveWordLaunchPrintsUsageAndNothingReachesTheGame)
{
    TempDir dir;
    auto run = RunScript(dir, "kz kzlaunch Park_P TAGame.GameInfo_Soccar_TA BotsNone\n");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("\nusage: rp kzlaunch [arena] [gamemode] [gametags] [networkoptions]\n"),
              std::string::npos)
        << run.output;
    EXPECT_TRUE(LinesStartingWith(run.output, "[game]").empty()) << run.output;
}

TEST(DevhostConsole, AddedBotsAreListedInOrder)
{
    TempDir dir;
    auto run = RunScript(dir, "kz addBot Alpha\nkz addBot \"Beta Bot\"\nkz addBot\n");
    ASSERT_EQ(run.status, 0) << run.output;
    auto added = LinesStartingWith(run.output, "Added bot: ");
    EXPECT_EQ(added, (std::vector<std::string>{"Added bot: Alpha", "Added bot: Beta Bot"})) << run.output;
    EXPECT_FALSE(LinesStartingWith(run.output, "usage: addBot [botName]").empty()) << run.output;
}

TEST(DevhostGame, ChatNeedsThePlayerControllerAndTheOnlineGameIsConfigurable)
{
    TempDir dir;
    auto run = RunScript(dir, "kz announcement\nsim controller off\nkz announcement\nsim controller on\n"
                              "kz announcement\nsim status\nsim player Ann\nsim bot \"Bot B\"\nsim emptyslot\n"
                              "sim spectator Cam\nsim matchmaking off\nsim status\nsim online off\nsim status\n");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(LinesStartingWith(run.output, "[game] chat: ").size(), 2u) << run.output;
    EXPECT_FALSE(LinesStartingWith(run.output, "[game] chat: Hello, this is a server message.").empty());
    EXPECT_EQ(LinesStartingWith(run.output, "devhost: sim:   ").size(), 4u) << run.output;
    for (const char* line : {"devhost: sim:   Ann\n", "devhost: sim:   Bot B [bot]\n", "devhost: sim:   (empty slot)\n",
                             "devhost: sim:   Cam [spectator]\n", "devhost: sim: online game with 4 entries",
                             "devhost: sim: matchmaking off, controller on"}) {
        EXPECT_NE(run.output.find(line), std::string::npos) << line << run.output;
    }
    EXPECT_EQ(LinesStartingWith(run.output, "devhost: sim: not in an online game").size(), 2u) << run.output;
}

TEST(DevhostConsole, BadLinesGetAMessageAndAFailingStatus)
{
    TempDir dir;
    auto run = RunScript(dir, "no_such_command 1\nkzlobby_endpoint \"unterminated\nsleep soon\nsim online maybe\n"
                              "togglemenu nothing\necho still running\n");
    EXPECT_EQ(run.status, 1) << run.output;
    for (const char* message : {"devhost: unknown command: no_such_command (type 'help' for the list)",
                                "devhost: cannot read the line: unterminated quote",
                                "devhost: usage: sleep <milliseconds, 0 to 600000>", "devhost: usage: sim ",
                                "devhost: togglemenu: no menu named nothing", "\nstill running\n",
                                "devhost: 5 commands failed"}) {
        EXPECT_NE(run.output.find(message), std::string::npos) << message << "\n" << run.output;
    }
}

TEST(DevhostConsole, PressedKeyRunsItsBindAndTheMenuFollows)
{
    TempDir dir;
    auto run = RunScript(dir, "binds\npress f8\nframes 2\npress F8\nframes 2\nbind F9 echo \"nine pressed\"\n"
                              "press F9\npress F10\nbind F11 press F11\npress F11\necho still here\n");
    EXPECT_EQ(run.status, 1) << run.output; // F10 is bound to nothing
    EXPECT_NE(run.output.find("F8 = \"togglemenu matchbay\""), std::string::npos) << run.output;
    auto opened = run.output.find("devhost: menu matchbay opened");
    auto closed = run.output.find("devhost: menu matchbay closed");
    ASSERT_NE(opened, std::string::npos) << run.output;
    ASSERT_NE(closed, std::string::npos) << run.output;
    EXPECT_LT(opened, closed);
    EXPECT_NE(run.output.find("\nnine pressed\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("devhost: press: nothing is bound to F10"), std::string::npos) << run.output;
    // A key bound to pressing itself stops instead of recursing until the stack runs out.
    EXPECT_NE(run.output.find("devhost: press: F11 leads to presses without end; stopped"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("\nstill here\n"), std::string::npos) << run.output;
}

TEST(DevhostConsole, ImagesLoadWithTheirSizeAndBadFilesAreNamed)
{
    TempDir dir;
    // A 3x2 binary PPM: stb_image reads it like a PNG, without a PNG encoder in the test.
    std::ofstream(dir.path() / "good.ppm", std::ios::binary) << "P6\n3 2\n255\n" << std::string(18, '\x7f');
    std::ofstream(dir.path() / "broken.png") << "not an image";
    auto run = RunScript(dir, "image " + (dir.path() / "good.ppm").string() + "\nimage " +
                                  (dir.path() / "missing.png").string() + "\nimage " +
                                  (dir.path() / "broken.png").string() + "\n");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("\nimage " + (dir.path() / "good.ppm").string() + ": 3x2\n"), std::string::npos)
        << run.output;
    for (const char* bad : {"missing.png", "broken.png"}) {
        EXPECT_NE(run.output.find("devhost: cannot load the image " + (dir.path() / bad).string()), std::string::npos)
            << run.output;
    }
}

TEST(DevhostLoader, RefusesLibrariesThatAreNotPluginsOfThisApi)
{
    TempDir dir;
    auto run = RunScript(dir, "plugin load " KESTREL_NOT_A_PLUGIN_PATH "\nplugin list\n",
                         {KESTREL_OLD_API_PLUGIN_PATH});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("devhost: refused " KESTREL_OLD_API_PLUGIN_PATH
                              ": plugin API version 94, this host runs version 95"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("devhost: refused " KESTREL_NOT_A_PLUGIN_PATH ": not a plugin (no 'exports' record)"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("devhost: no plugin loaded"), std::string::npos) << run.output;

    auto missing = RunScript(dir, "", {(dir.path() / "missing.so").string()});
    EXPECT_NE(missing.output.find("missing.so: no such file"), std::string::npos) << missing.output;
}

TEST(DevhostLoader, CommandLineErrorsAreReportedBeforeStarting)
{
    ChildProcess child({KESTREL_DEVHOST_PATH, "--listen-port", "70000"});
    EXPECT_EQ(child.wait(10s), 2);
    EXPECT_NE(child.output().find("--listen-port needs a port number from 1 to 65535"), std::string::npos)
        << child.output();
}

// Discovery stays on loopback unless asked otherwise, so this runs the same on any network: no
// router answers there, and the line says so.
TEST(DevhostConsole, TheRouterIsLookedForOnLoopbackWhereNoneAnswers)
{
    TempDir dir;
    std::string script = "kz router status\nkz router open\n";
    for (int i = 0; i < 8; ++i) script += "sleep 500\nkz router status\n";
    script += "kz router bogus\n";
    auto run = RunScript(dir, script);
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_FALSE(LinesStartingWith(run.output, "Router: [?] Not asked yet").empty()) << run.output;
    EXPECT_FALSE(
        LinesStartingWith(run.output, "Router: [!] No UPnP router found (UPnP may be off in the router's settings)").empty())
        << run.output;
    EXPECT_FALSE(LinesStartingWith(run.output, "usage: kz router open|close|status|reachable").empty()) << run.output;

    ChildProcess child({KESTREL_DEVHOST_PATH, "--upnp-interface", "eth0 x"});
    EXPECT_EQ(child.wait(10s), 2);
    EXPECT_NE(child.output().find("--upnp-interface needs an interface name or IPv4 address"), std::string::npos)
        << child.output();
}

} // namespace
} // namespace devhost_test
