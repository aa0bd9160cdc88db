// Local hosting without the window: the launcher and the private match request.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/game_modes.h"
#include "plugin_fixture.h"
#include "hosting/private_match.h"
#include "plugin/matchbay.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using LocalHosting = kestrel::testing::LoadedPlugin;

TEST_F(LocalHosting, LauncherLogsThenPostsItsOwnCopy)
{
    std::string arena = "Park_P";
    plugin->requestLocal(arena, "TAGame.GameInfo_Soccar_TA", "BotsNone,PlayerCount8",
                         "?NumPublicConnections=10?NumOpenPublicConnections=10?Lan?Listen");
    arena = "changed";
    const std::string command = "open Park_P?Playtest?game=TAGame.GameInfo_Soccar_TA?GameTags=BotsNone,PlayerCount8"
                                "?NumPublicConnections=10?NumOpenPublicConnections=10?Lan?Listen";
    EXPECT_THAT(host.console.lines(), ElementsAre("Executing local command: " + command));
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
    EXPECT_EQ(host.game.runPosted(), 1);
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre(command));
}

TEST_F(LocalHosting, MapFileNamesThatWouldSplitTheConsoleCommandAreRefused)
{
    const std::string options = "?Lan?Listen";
    for (const std::string& arena : std::vector<std::string>{"sp ace|x", "a\nopen evil", std::string("nul\0x", 5), "tab\there"}) {
        const size_t before = host.console.lines().size();
        plugin->requestLocal(arena, "TAGame.GameInfo_Soccar_TA", "BotsNone,PlayerCount8", options);
        ASSERT_EQ(host.console.lines().size(), before + 1) << arena;
        const std::string line = host.console.lines().back();
        EXPECT_EQ(line.rfind("Cannot launch map '", 0), 0u) << line;
        EXPECT_EQ(line.find_first_of("\n\t"), std::string::npos) << "the log line shows no control character";
        EXPECT_EQ(host.game.runPosted(), 0) << "nothing reaches the game for " << arena;
    }
    // Names that merely look unusual launch exactly as before.
    for (const std::string arena : {"sp ace.x", "Map;With;Semicolons", "Ünïcode_P", "a-b_c.d"}) {
        plugin->requestLocal(arena, "TAGame.GameInfo_Soccar_TA", "BotsNone,PlayerCount8", options);
        EXPECT_EQ(host.game.runPosted(), 1) << arena;
        EXPECT_EQ(host.game.unrealCommands().back(),
                  "open " + arena + "?Playtest?game=TAGame.GameInfo_Soccar_TA?GameTags=BotsNone,PlayerCount8" + options);
    }
}

TEST(PrivateMatchGameMode, OnlyTheTablesOwnSnowDaySpellingCounts)
{
    EXPECT_EQ(hosting::GameModeNumber(GameModeTable.at("Snow Day")), 2);
    EXPECT_EQ(hosting::GameModeNumber("TAGame.GameInfo_Hockey_TA"), 0);
    EXPECT_EQ(hosting::GameModeNumber("TAGame.GameInfo_Territory_TA"), 0); // SplitShot has no number
}

TEST_F(LocalHosting, PrivateMatchFillsOnlyItsSettings)
{
    plugin->RequestPrivateMatch("Stadium_P", "TAGame.GameInfo_GodBall_TA", "BotsNone,PlayerCount8,Max1", "My Server",
                                "2", "hunter2");
    auto calls = host.game.matchmakingService.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].region, Region::USW);
    EXPECT_EQ(calls[0].playlist, 6);
    const CustomMatchSettings& s = calls[0].settings;
    EXPECT_EQ(s.MapName, "Stadium_P");
    EXPECT_EQ(s.GameMode, 6);
    EXPECT_EQ(s.GameTags, "BotsNone,PlayerCount8,Max1");
    EXPECT_EQ(s.ServerName, "My Server");
    EXPECT_EQ(s.Password, "hunter2");
    EXPECT_EQ(s.MaxPlayerCount, 8);
    EXPECT_FALSE(s.bPublic);
    EXPECT_FALSE(s.bClubServer);
    EXPECT_EQ(s.BlueTeamSettings.Name, "");
    EXPECT_EQ(s.OrangeTeamSettings.ColorPrimary, 0);
    EXPECT_THAT(host.console.lines(), IsEmpty());
}

TEST_F(LocalHosting, PrivateMatchWithoutMatchmakingOrWithABadRegion)
{
    host.game.setMatchmakingAvailable(false);
    plugin->RequestPrivateMatch("Park_P", "TAGame.GameInfo_Soccar_TA", "BotsNone,PlayerCount8", "", "0", "");
    EXPECT_THAT(host.console.lines(), ElementsAre("MatchmakingWrapper is null"));

    host.game.setMatchmakingAvailable(true);
    for (const char* code : {"", "10", "x", "-1"})
        plugin->RequestPrivateMatch("Park_P", "TAGame.GameInfo_Soccar_TA", "BotsNone,PlayerCount8", "", code, nullptr);
    EXPECT_THAT(host.game.matchmakingService.calls(), IsEmpty());
}

} // namespace
