// Scripted clicks through the plugin's real window in a headless development host: the "ui"
// commands press, type and pick by id path, and the game sees what a player's clicks would do.
#include <gtest/gtest.h>


#include <filesystem>
#include <fstream>

#include "devhost_process.h"

namespace devhost_test {
namespace {

const std::string kMain = "Kestrel - V1.2.0";
const std::string kHostLan = kMain + "/Tabs/Host Lan";
const std::string kRocketLeague = kMain + "/Tabs/Rocket League";
// The first key of the plugin's map table, which the Host Lan tab selects at first.
constexpr const char* kFirstMap = "ARC_Darc_P";
constexpr const char* kLanTail =
    "?Playtest?game=TAGame.GameInfo_Soccar_TA?GameTags=BotsNone,PlayerCount8?NumPublicConnections=10"
    "?NumOpenPublicConnections=10?Lan?Listen";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Lines(const std::vector<std::string>& lines)
{
    std::string script;
    for (const std::string& line : lines) script += line + "\n";
    return script;
}

TEST(DevhostUi, TabsSwitchAndTheCloseButtonTogglesTheMenuOnce)
{
    TempDir dir;
    // F8's bind opens the menu, so the only "togglemenu" line is the one the plugin executes.
    auto run = RunScript(dir, Lines({
                                  "press F8",
                                  "ui windows",
                                  "ui text " + Quoted(kMain),
                                  "echo switching",
                                  "ui press " + Quoted(kMain + "/Tabs/Tournament"),
                                  "ui text " + Quoted(kMain),
                                  "ui press " + Quoted(kMain + "/#CLOSE"),
                                  "ui windows",
                              }));
    ASSERT_EQ(run.status, 0) << run.output;
    const size_t switching = run.output.find("\nswitching\n");
    ASSERT_NE(switching, std::string::npos) << run.output;
    const std::string before = run.output.substr(0, switching);
    const std::string after = run.output.substr(switching);

    EXPECT_NE(before.find("devhost: ui: window: " + kMain + "\n"), std::string::npos) << run.output;
    EXPECT_NE(before.find("devhost: ui: window: Active Server List\n"), std::string::npos) << run.output;
    EXPECT_EQ(before.find("WIP Coming back soon."), std::string::npos) << run.output;
    EXPECT_NE(after.find("devhost: ui: pressed " + kMain + "/Tabs/Tournament\n"), std::string::npos) << run.output;
    EXPECT_NE(after.find("devhost: ui: text: WIP Coming back soon.\n"), std::string::npos) << run.output;

    EXPECT_EQ(Count(run.output, "> togglemenu matchbay\n"), 1u) << run.output;
    EXPECT_EQ(Count(run.output, "devhost: menu matchbay closed\n"), 1u) << run.output;
    const size_t closed = after.find("devhost: menu matchbay closed");
    ASSERT_NE(closed, std::string::npos) << run.output;
    EXPECT_EQ(after.find("ui: window: " + kMain, closed), std::string::npos) << run.output;
    EXPECT_NE(after.find("devhost: ui: no windows are shown", closed), std::string::npos) << run.output;
}

// A player saves a Host Lan setup, restarts the host, loads it, copies it as one line and pastes it into the
// private match tab, which then asks the game for the same mode, map and mutators.
TEST(DevhostUi, APresetOutlivesARestartAndItsSetupLinePastesIntoThePrivateMatchTab)
{
    TempDir dir;
    auto saving = RunScript(dir, Lines({
                                     "togglemenu matchbay",
                                     "ui press " + Quoted(kHostLan),
                                     "ui pick " + Quoted(kHostLan + "/##GameModeSelection") + " Hoops",
                                     "ui pick " + Quoted(kHostLan + "/##HostLanMapSelection") + " \"@9/Dunk House\"",
                                     "ui press " + Quoted(kHostLan + "/Mutators Settings"),
                                     "ui pick " + Quoted(kHostLan + "/#MutatorsSettings/##Match Length") + " Unlimited",
                                     "ui press " + Quoted(kHostLan + "/Save As..."),
                                     "ui type \"Save Preset/##PresetName\" \"Hoops night\"",
                                     "ui press \"Save Preset/Save\"",
                                 }));
    ASSERT_EQ(saving.status, 0) << saving.output;
    EXPECT_NE(saving.output.find("\nSaved preset \"Hoops night\".\n"), std::string::npos) << saving.output;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "data/appdata/bakkesmod/bakkesmod/data/Kestrel/presets.json"));

    const std::string line = "kestrel-setup:1 mode=Hoops map=HoopsStadium_P tags=BotsNone,PlayerCount8,UnlimitedTime";
    auto loading = RunScript(dir, Lines({
                                      "togglemenu matchbay",
                                      "ui press " + Quoted(kHostLan),
                                      "ui pick " + Quoted(kHostLan + "/##Presets") + " \"Hoops night\"",
                                      "ui press " + Quoted(kHostLan + "/Load"),
                                      "ui press " + Quoted(kHostLan + "/Copy Setup"),
                                      "ui press " + Quoted(kRocketLeague),
                                      "ui press " + Quoted(kRocketLeague + "/Paste Setup"),
                                      "ui text " + Quoted(kMain),
                                      "ui press " + Quoted(kRocketLeague + "/Request Server"),
                                  }));
    ASSERT_EQ(loading.status, 0) << loading.output;
    EXPECT_NE(loading.output.find("\nLoaded preset \"Hoops night\".\n"), std::string::npos) << loading.output;
    EXPECT_NE(loading.output.find("\nSetup copied to the clipboard: " + line + "\n"), std::string::npos) << loading.output;
    const size_t pasted = loading.output.find("\nSetup loaded.\n");
    ASSERT_NE(pasted, std::string::npos) << loading.output;
    for (const char* shown : {"Hoops", "Dunk House", "Setup loaded."})
        EXPECT_NE(loading.output.find(std::string("devhost: ui: text: ") + shown + "\n", pasted), std::string::npos) << shown;
    EXPECT_NE(loading.output.find("[game] CreatePrivateMatch region=0 (US-East) playlist=6 "
                                  "GameTags=\"BotsNone,PlayerCount8,UnlimitedTime\" MapName=\"HoopsStadium_P\" GameMode=1 "),
              std::string::npos)
        << loading.output;
}

TEST(DevhostUi, BadPathsAndMissingItemsFailWithAMessageAndChangeNothing)
{
    TempDir dir;
    auto run = RunScript(dir, Lines({
                                  "ui press " + Quoted(kHostLan),
                                  "ui press a//b",
                                  "ui press " + Quoted(kMain),
                                  "ui frobnicate",
                                  "togglemenu matchbay",
                                  "ui press " + Quoted(kMain + "/Tabs/No Tab"),
                                  "ui type " + Quoted(kMain + "/Tabs/Tournament") + " text",
                                  "ui pick " + Quoted(kMain + "/Tabs/Kestrel") + " Europe",
                                  "ui press " + Quoted(kRocketLeague),
                                  "ui press " + Quoted(kRocketLeague + "/##ServerName"),
                                  "ui pick " + Quoted(kRocketLeague + "/##ServerSelection") + " Mars",
                                  "ui text Nowhere",
                                  "ui text " + Quoted(kMain),
                                  "ui windows",
                                  "ui wait " + Quoted(kMain) + " \"Select Server\" 5",
                                  "ui wait " + Quoted(kMain) + " \"Never shown\" 0.3",
                                  "ui wait " + Quoted(kMain) + " x -1",
                              }));
    EXPECT_EQ(run.status, 1) << run.output;
    for (const std::string& message : {
             "devhost: ui: no item " + kHostLan + " is shown (no window \"" + kMain + "\" is shown)\n",
             std::string("devhost: ui: cannot read the id path a//b"),
             "devhost: ui: " + kMain + " names a window",
             std::string("devhost: usage: ui press <path>"),
             "devhost: ui: no item " + kMain + "/Tabs/No Tab is shown\n",
             "devhost: ui: no text field " + kMain + "/Tabs/Tournament is shown\n",
             "devhost: ui: " + kMain + "/Tabs/Kestrel opened no drop-down",
             "devhost: ui: " + kRocketLeague + "/##ServerName is a text field; ui type <path> <text> fills it\n",
             "devhost: ui: no entry Mars in the drop-down of " + kRocketLeague + "/##ServerSelection",
             std::string("devhost: ui: no window Nowhere is shown\n"),
             std::string("devhost: ui wait: no text \"Never shown\" in " + kMain + " within 0.3 s"),
             std::string("devhost: ui wait: -1 is not a number of seconds from 0 to 3600"),
             std::string("devhost: 12 commands failed"),
         }) {
        EXPECT_NE(run.output.find(message), std::string::npos) << message << "\n" << run.output;
    }
    // Starting to type must not press the tab, and a failed pick leaves no drop-down open.
    EXPECT_EQ(run.output.find("WIP Coming back soon."), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("devhost: ui: text: Select Server:\n"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("ui: window: ##Combo"), std::string::npos) << run.output;
}

TEST(DevhostUi, HostLanButtonOpensAListenServerOnTheFirstMap)
{
    TempDir dir;
    const int port = FreePort(true);
    ChildProcess host(DevhostArgs(dir, {"--listen-port", std::to_string(port)}));
    ASSERT_TRUE(host.waitFor("type 'help' for the commands")) << host.output();
    host.send("togglemenu matchbay");
    host.send("ui press " + Quoted(kHostLan));
    ASSERT_TRUE(host.waitFor("ui: pressed " + kHostLan + "\n")) << host.output();
    host.send("ui press " + Quoted(kHostLan + "/Host Lan"));
    const std::string command = std::string("open ") + kFirstMap + kLanTail;
    ASSERT_TRUE(host.waitFor("[game] " + command + "\n")) << host.output();
    EXPECT_NE(host.output().find("Executing local command: " + command + "\n"), std::string::npos) << host.output();
    ASSERT_TRUE(host.waitFor("[game] listening on UDP 127.0.0.1:" + std::to_string(port))) << host.output();
    EXPECT_EQ(Exchange(port, "kickoff"), "kickoff");
    host.send("quit");
    EXPECT_EQ(host.wait(20s), 0) << host.output();
}

TEST(DevhostUi, CustomMapsCheckboxHostsTheInstalledMap)
{
    TempDir dir;
    const auto mods = dir.path() / "data" / "game" / "TAGame" / "CookedPCConsole" / "mods" / "Skyline";
    std::filesystem::create_directories(mods);
    std::ofstream(mods / "Skyline_Arena.udk") << "package";
    auto run = RunScript(dir, Lines({
                                  "togglemenu matchbay",
                                  "ui press " + Quoted(kHostLan),
                                  "ui press " + Quoted(kHostLan + "/Custom maps"),
                                  "ui press " + Quoted(kHostLan + "/Host Lan"),
                                  "sleep 200",
                              }));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(std::string("[game] open Skyline_Arena") + kLanTail + "\n"), std::string::npos)
        << run.output;
    EXPECT_TRUE(std::filesystem::exists(mods / "Skyline_Arena.upk"));
    EXPECT_FALSE(std::filesystem::exists(mods / "Skyline_Arena.udk"));
}

TEST(DevhostUi, PickReachesAMapScrolledOutOfTheDropDown)
{
    TempDir dir;
    auto run = RunScript(dir, Lines({
                                  "togglemenu matchbay",
                                  "ui press " + Quoted(kHostLan),
                                  "ui pick " + Quoted(kHostLan + "/##HostLanMapSelection") + " \"@59/Beckwith Park\"",
                                  "ui press " + Quoted(kHostLan + "/Host Lan"),
                                  "sleep 200",
                              }));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(std::string("[game] open park_bman_p") + kLanTail + "\n"), std::string::npos)
        << run.output;
}

// At the default 1280x720 the lower mutator rows lie below the main window's view and are not even drawn
// until it scrolls; the button above them is scrolled away once they are reached.
TEST(DevhostUi, PickReachesMutatorRowsBelowTheMainWindowsView)
{
    TempDir dir;
    const std::string panel = kHostLan + "/#MutatorsSettings/";
    auto run = RunScript(dir, Lines({
                                  "togglemenu matchbay",
                                  "ui press " + Quoted(kHostLan),
                                  "ui press " + Quoted(kHostLan + "/Mutators Settings"),
                                  "ui pick " + Quoted(panel + "##Gravity") + " Low",
                                  "ui pick " + Quoted(panel + "##Game Event") + " \"Split Shot\"",
                                  "ui pick " + Quoted(panel + "##Game Mode") + " \"Backwards Mode\"",
                                  "ui press " + Quoted(kHostLan + "/Host Lan"),
                                  "sleep 200",
                              }));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("no entry"), std::string::npos) << run.output;
    const std::string tags = "BotsNone,PlayerCount8,LowGravity,territory,thirtyseconds,BackwardsMode";
    EXPECT_NE(run.output.find("?GameTags=" + tags + "?"), std::string::npos) << run.output;
}

TEST(DevhostUi, PrivateMatchTakesThePickedRegionAndTypedNameOrSaysMatchmakingIsMissing)
{
    TempDir dir;
    const std::string request = "ui press " + Quoted(kRocketLeague + "/Request Server");
    auto run = RunScript(dir, Lines({
                                  "togglemenu matchbay",
                                  "ui press " + Quoted(kRocketLeague),
                                  "ui pick " + Quoted(kRocketLeague + "/##ServerSelection") + " Europe",
                                  "ui type " + Quoted(kRocketLeague + "/##ServerName") + " \"Scrim Server\"",
                                  "ui type " + Quoted(kRocketLeague + "/##ServerName") + " \"Kestrel Cup\"",
                                  request,
                                  "sleep 200",
                                  "sim matchmaking off",
                                  request,
                                  "sleep 200",
                              }));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("devhost: ui: picked Europe in " + kRocketLeague + "/##ServerSelection\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("devhost: ui: typed 11 characters into " + kRocketLeague + "/##ServerName\n"),
              std::string::npos)
        << run.output;
    const auto matches = LinesStartingWith(run.output, "[game] CreatePrivateMatch ");
    ASSERT_EQ(matches.size(), 1u) << run.output;
    EXPECT_EQ(matches[0].rfind("[game] CreatePrivateMatch region=1 (Europe) playlist=6 ", 0), 0u) << matches[0];
    // Typing replaces what the field held.
    EXPECT_NE(matches[0].find(" ServerName=\"Kestrel Cup\" "), std::string::npos) << matches[0];
    EXPECT_EQ(LinesStartingWith(run.output, "MatchmakingWrapper is null").size(), 1u) << run.output;
    EXPECT_LT(run.output.find("[game] CreatePrivateMatch"), run.output.find("MatchmakingWrapper is null"));
}

TEST(DevhostUi, LobbyFromTheDemoServicesIsListedAndJoined)
{
    TempDir dir;
    const int servicePort = FreePort(false);
    ChildProcess services({KESTREL_DEMO_SERVICES_PATH, "--port", std::to_string(servicePort), "--data-dir",
                           (dir.path() / "services").string()});
    ASSERT_TRUE(services.waitFor("demo-services: listening on")) << services.output();

    ChildProcess host(DevhostArgs(dir));
    ASSERT_TRUE(host.waitFor("type 'help' for the commands")) << host.output();
    host.send("kzlobby_endpoint http://127.0.0.1:" + std::to_string(servicePort) + "/rllobby");
    host.send("togglemenu matchbay");
    host.send("ui press \"Active Server List/#/Refresh\"");
    ASSERT_TRUE(host.waitFor("ui: pressed Active Server List/#/Refresh\n")) << host.output();
    // The reply arrives on the HTTP thread; ask for the text until it shows.
    bool listed = false;
    for (int attempt = 0; attempt < 60 && !listed; ++attempt) {
        host.send("ui text \"Active Server List\"");
        listed = host.waitFor("ui: text: Devhost Listen Server | Stadium_P | 1 | 1\n", 250ms);
    }
    ASSERT_TRUE(listed) << host.output();
    for (const char* row : {"Friday Night Scrims | EuroStadium_Night_P | 4 | 12", "Chill Free Play | Park_P | 2 | 4",
                            "Wasteland 1v1 Ladder | Wasteland_P | 3 | 37", "Rumble Night | UtopiaStadium_P | 6 | 58",
                            "Train Station Hangout | TrainStation_P | 0 | 120"}) {
        // The rest of that listing may still be on its way.
        EXPECT_TRUE(host.waitFor(std::string("ui: text: ") + row + "\n", 5s)) << row << "\n" << host.output();
    }
    const std::string row = "Active Server List/#/##lobbies/@2/Devhost Listen Server";
    host.send("ui press " + Quoted(row));
    ASSERT_TRUE(host.waitFor("ui: pressed " + row + "\n")) << host.output();
    host.send("ui press \"Active Server List/#/Connect\"");
    EXPECT_TRUE(host.waitFor("[game] open 127.0.0.1:7777?Lan?Password=\n", 5s)) << host.output();
    host.send("quit");
    EXPECT_EQ(host.wait(20s), 0) << host.output();
    services.terminate();
    EXPECT_EQ(services.wait(10s), 0) << services.output();
}

} // namespace
} // namespace devhost_test
