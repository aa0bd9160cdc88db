// The Host Lan and Rocket League tabs clicked through as a player would, checking what
// reaches the game.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/maps.h"
#include "ui_fixtures.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string lanNetworkOptions = "?NumPublicConnections=10?NumOpenPublicConnections=10?Lan?Listen";

struct Tabs : OpenMenu {
    std::string tab(const std::string& name) { return ui::JoinIdPath({mainWindow, "Tabs", name}); }
    std::string in(const std::string& tabName, const std::string& item)
    {
        return ui::JoinIdPath({mainWindow, "Tabs", tabName, item});
    }
    void selectTab(const std::string& name)
    {
        ui.click(tab(name));
        ui.frames(2);
        if (name == "Host Lan") {
            ASSERT_TRUE(ui.frameUntil([&] { return ui.windowShown("Reverse Proxy"); }));
            ui.placeWindow("Reverse Proxy", ImVec2(820, 10)); // out of the main window's way
        }
    }
    void pressAndRunPosted(const std::string& button)
    {
        ui.click(button);
        ui.frame();
        host.game.runPosted();
    }
    std::string firstMap() const { return MapTable.begin()->first; }
};

TEST_F(Tabs, HostLanWithDefaultsSendsTheDefaultCommand)
{
    selectTab("Host Lan");
    host.console.clearLines();
    pressAndRunPosted(in("Host Lan", "Host Lan"));
    const std::string command = "open " + firstMap() +
                                "?Playtest?game=TAGame.GameInfo_Soccar_TA?GameTags=BotsNone,PlayerCount8" + lanNetworkOptions;
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre(command));
    EXPECT_THAT(host.console.lines(), ElementsAre("Executing local command: " + command));
}

TEST_F(Tabs, HostLanUsesTheChosenModeMapAndMutators)
{
    selectTab("Host Lan");
    ui.pickComboEntry(in("Host Lan", "##GameModeSelection"), "Snow Day");
    ui.pickComboEntry(in("Host Lan", "##HostLanMapSelection"), "Mannfield (Night)");
    ui.openHeader(in("Host Lan", "Mutators Settings"));
    ui.pickComboEntry(ui::JoinIdPath({mainWindow, "Tabs", "Host Lan", "#MutatorsSettings", "##Match Length"}), "Unlimited");
    ui.click(in("Host Lan", "Mutators Settings")); // folded again, the button is back in view
    ui.frame();
    pressAndRunPosted(in("Host Lan", "Host Lan"));
    EXPECT_THAT(host.game.unrealCommands(),
                ElementsAre("open EuroStadium_Night_P?Playtest?game=TAGame.Gameinfo_Hockey_TA"
                            "?GameTags=BotsNone,PlayerCount8,UnlimitedTime" + lanNetworkOptions));
}

TEST_F(Tabs, CustomMapsWithoutAnySendsThePlaceholderAndSwitchingResetsTheMap)
{
    selectTab("Host Lan");
    ui.pickComboEntry(in("Host Lan", "##HostLanMapSelection"), "Mannfield (Night)");
    ASSERT_NE(hosting::LanHostTab().selectedMap, 0);

    ui.click(in("Host Lan", "Custom maps"));
    ui.frames(2);
    EXPECT_EQ(hosting::LanHostTab().selectedMap, 0);
    pressAndRunPosted(in("Host Lan", "Host Lan"));
    EXPECT_THAT(host.game.unrealCommands().back(), ::testing::StartsWith("open No custom maps?Playtest?game="));

    ui.pickComboEntry(in("Host Lan", "##GameModeSelection"), "Hoops"); // unrelated choices survive the switch
    ui.click(in("Host Lan", "Custom maps"));
    ui.frames(2);
    EXPECT_EQ(hosting::LanHostTab().selectedMap, 0);
    pressAndRunPosted(in("Host Lan", "Host Lan"));
    EXPECT_EQ(host.game.unrealCommands().back(),
              "open " + firstMap() + "?Playtest?game=TAGame.GameInfo_Basketball_TA?GameTags=BotsNone,PlayerCount8" +
                  lanNetworkOptions);
}

TEST_F(Tabs, MutatorsChosenInOneTabHoldInTheOthers)
{
    selectTab("Rocket League");
    ui.openHeader(in("Rocket League", "Mutators Settings"));
    ui.pickComboEntry(ui::JoinIdPath({mainWindow, "Tabs", "Rocket League", "#MutatorsSettings", "##Max Score"}), "1 Goal");
    selectTab("Host Lan");
    pressAndRunPosted(in("Host Lan", "Host Lan"));
    EXPECT_THAT(host.game.unrealCommands().back(), HasSubstr("?GameTags=BotsNone,PlayerCount8,Max1?"));
}

TEST_F(Tabs, ChoicesSurviveClosingAndReopeningTheWindow)
{
    selectTab("Host Lan");
    ui.pickComboEntry(in("Host Lan", "##GameModeSelection"), "Rumble");
    ui.closeWindow(mainWindow);
    plugin->MenuClosed();
    ui.frames(2);
    plugin->MenuOpened();
    ui.frames(2);
    pressAndRunPosted(in("Host Lan", "Host Lan"));
    EXPECT_THAT(host.game.unrealCommands().back(), HasSubstr("?game=TAGame.GameInfo_Items_TA?"));
}

TEST_F(Tabs, PrivateMatchLogsAndRequestsWithTheChosenValues)
{
    selectTab("Rocket League");
    ui.pickComboEntry(in("Rocket League", "##ServerSelection"), "US-West");
    ui.click(in("Rocket League", "##ServerName"));
    ui.pressKey(ImGuiKey_End);
    ui.typeText(" 2");
    ui.pickComboEntry(in("Rocket League", "##GameModeSelection"), "Heatseeker");
    ui.click(in("Rocket League", "##Password"));
    ui.typeText("pw");
    host.console.clearLines();
    ui.click(in("Rocket League", "Request Server"));
    ui.frame();
    const std::string arena = MapTable.begin()->first;
    EXPECT_THAT(host.console.lines(),
                ElementsAre("Requesting server with parameters:", "arena: " + arena,
                            "selectedGameMode: TAGame.GameInfo_GodBall_TA", "gameTags: BotsNone,PlayerCount8",
                            "servername: DefaultServerName 2", "serversrl: 2", "pswd: **"));
    EXPECT_THAT(host.game.matchmakingService.calls(), IsEmpty()); // runs on the game thread
    host.game.runPosted();
    auto calls = host.game.matchmakingService.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].region, Region::USW);
    EXPECT_EQ(calls[0].playlist, 6);
    EXPECT_EQ(calls[0].settings.GameMode, 6);
    EXPECT_EQ(calls[0].settings.ServerName, "DefaultServerName 2");
    EXPECT_EQ(calls[0].settings.Password, "pw");
    EXPECT_EQ(calls[0].settings.MapName, arena);
    EXPECT_EQ(calls[0].settings.MaxPlayerCount, 8);
}

TEST_F(Tabs, TwoPressesPostTwoRequestsWithTheValuesOfTheirPress)
{
    selectTab("Rocket League");
    ui.pickComboEntry(in("Rocket League", "##ServerSelection"), "Europe");
    ui.click(in("Rocket League", "Request Server"));
    ui.pickComboEntry(in("Rocket League", "##ServerSelection"), "Oceania");
    ui.pickComboEntry(in("Rocket League", "##GameModeSelection"), "Snow Day");
    ui.click(in("Rocket League", "Request Server"));
    ui.frame();
    EXPECT_EQ(host.game.postedCount(), 2u);
    host.game.runPosted();
    auto calls = host.game.matchmakingService.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].region, Region::EU);
    EXPECT_EQ(calls[0].settings.GameMode, 0);
    EXPECT_EQ(calls[1].region, Region::OCE);
    EXPECT_EQ(calls[1].settings.GameMode, 2);
}

TEST_F(Tabs, PrivateMatchWithoutMatchmakingOnlyLogs)
{
    host.game.setMatchmakingAvailable(false);
    selectTab("Rocket League");
    ui.click(in("Rocket League", "Request Server"));
    ui.frame();
    host.console.clearLines();
    host.game.runPosted();
    EXPECT_THAT(host.console.lines(), ElementsAre("MatchmakingWrapper is null"));
}

TEST_F(Tabs, ServerNameTakesAtMost127Characters)
{
    selectTab("Rocket League");
    ui.click(in("Rocket League", "##ServerName"));
    ui.pressKey(ImGuiKey_End);
    ui.typeText(std::string(150, 'x'));
    ui.frame();
    EXPECT_EQ(std::string(hosting::RocketLeagueTab().serverNameBuffer.data()).size(), 127u);
}

}  // namespace
}  // namespace kestrel::testing
