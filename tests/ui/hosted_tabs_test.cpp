// The Kestrel and RLBot Host tabs clicked through as a player would, with the hosting
// service's replies given by the test.
#include <optional>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/maps.h"
#include "ui_fixtures.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

using bakkesmod::host::PlayerRecord;
using hosted::HostedRequestState;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

const char* kServers = R"([{"ip":"127.0.0.1","port":"47802","location":"Devhost East","domain":"east"},
                           {"ip":"127.0.0.1","port":"47803","location":"Devhost West","domain":"west"}])";
const char* kBots = R"j(["Atlas", {"name":"Nexto (beta)","versions":["Nexto","Nexto-old"]}, "Kamikaze"])j";

struct HostedTabs : OpenMenu {
    std::string in(const std::vector<std::string>& ids)
    {
        std::vector<std::string> path{mainWindow, "Tabs"};
        path.insert(path.end(), ids.begin(), ids.end());
        return ui::JoinIdPath(path);
    }
    void SetUp() override
    {
        OpenMenu::SetUp();
        matchbay::gameSpeedValue = 100;
    }
    void LoadLists()
    {
        host.http->respond(0, 200, kServers);
        host.http->respond(1, 200, kBots);
        ui.frames(2);
    }
    void SelectTab(const std::string& name)
    {
        ui.click(in({name}));
        ui.frames(2);
    }
    // Answers the next server request from the host's side and waits for its worker to finish.
    void AnswerRequest(int status, const std::string& body, HostedRequestState& state)
    {
        auto next = [&] { return ServerRequest(answered); };
        ASSERT_TRUE(ui.frameUntilWithin([&] { return next().has_value(); }));
        const size_t index = *next();
        answered = index + 1;
        lastRequestUrl = host.http->requests()[index].request.url;
        host.http->respondFromThread(index, status, body);
        host.http->waitForAnswers();
        ASSERT_TRUE(ui.frameUntilWithin([&] { return !state.RequestPending(); }));
        // A new sub-tab bar shows its content from its second frame, and the popup needs one more.
        ASSERT_TRUE(ui.frameUntil([&] { return ui.windowShown("Server Details"); }, 10));
        ui.frame();
    }
    // Start-up sends other requests (the proxy list among them) from other threads, so a server
    // request is found by its form, not by its position.
    std::optional<size_t> ServerRequest(size_t from = 0)
    {
        auto sent = host.http->requests();
        for (size_t i = from; i < sent.size(); ++i)
            if (sent[i].request.url.find("/?mapName=") != std::string::npos) return i;
        return std::nullopt;
    }
    bool TryClick(const std::string& query)
    {
        try {
            ui.click(query);
        } catch (const std::exception&) {
            return false;
        }
        return true;
    }
    size_t answered = 2; // the two start-up requests
    std::string lastRequestUrl;
};


TEST_F(HostedTabs, WithoutServerListTheRequestIsGreyedAndInert)
{
    SelectTab("Kestrel");
    EXPECT_TRUE(ui.textShown("No Servers Available", mainWindow));
    const size_t before = host.http->requests().size();
    TryClick(in({"Kestrel", "Request Server"}));
    ui.frames(2);
    EXPECT_EQ(host.http->requests().size(), before);
    EXPECT_FALSE(ui.textShown("Processing Request...", mainWindow));
    EXPECT_FALSE(plugin->kestrelRequest->RequestPending());
}

TEST_F(HostedTabs, KestrelRequestThenJoinAndControls)
{
    LoadLists();
    SelectTab("Kestrel");
    ui.pickComboEntry(in({"Kestrel", "##ServerSelection"}), "Devhost West");
    ui.pickComboEntry(in({"Kestrel", "##GameModeSelection"}), "Hoops");
    ui.click(in({"Kestrel", "Request Server"}));
    ui.frame();
    EXPECT_TRUE(ui.textShown("Processing Request...", mainWindow));
    EXPECT_FALSE(ui.itemShown(in({"Kestrel", "Request Server"})));
    ASSERT_TRUE(ui.frameUntilWithin([&] { return ServerRequest().has_value(); }));
    const size_t sentBefore = host.http->requests().size();
    ui.frames(3);
    EXPECT_EQ(host.http->requests().size(), sentBefore); // one worker, one request
    EXPECT_EQ(host.http->requests()[*ServerRequest()].request.url,
              "http://127.0.0.1:47803/?mapName=No custom maps&gameMode=TAGame.GameInfo_Basketball_TA"
              "&mutators=BotsNone,PlayerCount8&networkOptions=?NumPublicConnections=10?NumOpenPublicConnections=10?Lan?Listen");

    AnswerRequest(200, "127.0.0.1:7779", *plugin->kestrelRequest);
    EXPECT_TRUE(ui.windowShown("Server Details"));
    EXPECT_TRUE(ui.textShown("IP: 127.0.0.1", "Server Details"));
    EXPECT_TRUE(ui.textShown("Port: 7779", "Server Details"));
    EXPECT_TRUE(ui.itemShown(in({"Kestrel", "KestrelSubTabs", "Main"})));
    EXPECT_TRUE(ui.itemShown(in({"Kestrel", "KestrelSubTabs", "Main", "##ServerSelection"})));

    ui.click("Server Details/Join");
    ui.frames(2);
    EXPECT_FALSE(ui.windowShown("Server Details"));
    host.game.runPosted();
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre("start 127.0.0.1:7779/?Lan"));

    host.game.setOnlineGame(std::vector<PlayerRecord>{{false, "Ann", false, false},
                                                      {false, "Bot", true, false},
                                                      {false, "Watcher", false, true},
                                                      {false, "Bo", false, false}});
    ui.click(in({"Kestrel", "KestrelSubTabs", "Server Controls"}));
    ui.frames(2);
    EXPECT_TRUE(ui.itemShown("Kick##Player0"));
    EXPECT_TRUE(ui.itemShown("Kick##Player1"));
    EXPECT_FALSE(ui.itemShown("Kick##Player2"));
    EXPECT_FALSE(ui.textShown("Watcher", mainWindow));

    const size_t first = host.http->requests().size();
    for (const char* button : {"Lock", "Restart", "Pause", "Game-Speed", "Kick##Player1"}) ui.click(button);
    auto sent = host.http->requests();
    ASSERT_EQ(sent.size(), first + 5);
    std::vector<std::string> bodies;
    for (size_t i = first; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].request.url, "http://127.0.0.1:47803/servercommand");
        EXPECT_EQ(sent[i].request.verb, "POST");
        EXPECT_TRUE(sent[i].json);
        bodies.push_back(sent[i].request.body);
    }
    EXPECT_THAT(bodies, ElementsAre(R"({"command":"lock","port":7779})", R"({"command":"restart","port":7779})",
                                    R"({"command":"pause","port":7779})", R"({"command":"gs","player":100,"port":7779})",
                                    R"({"command":"kick","player":"Bo","port":7779})"));
    host.console.clearLines();
    host.http->respond(first, 200, "ok");
    host.http->respond(first + 2, 500, "broken");
    host.http->respond(first + 3, 200, "ok");
    EXPECT_THAT(host.console.lines(), ElementsAre("Lock command sent successfully",
                                                  "Failed to send pause command: Request failed(500): broken",
                                                  "Game-Speed command sent successfully"));
    host.http->respond(first + 1, 200, "");
    host.http->respond(first + 4, 200, "");
}

TEST_F(HostedTabs, FailureRepliesShowTheReasonAndNoJoin)
{
    LoadLists();
    SelectTab("Kestrel");
    const struct {
        int status;
        std::string body;
        std::string text;
    } cases[] = {
        {500, "down", "Failed to request server. Please try again."},
        {200, "Map not on server", "Failed to request server: Invalid Server Map"},
        {200, "127.0.0.1:70000", "Failed to request server: the service gave the port 70000, which is not from 1 to 65535"},
    };
    for (const auto& c : cases) {
        ui.click(in({"Kestrel", "Request Server"}));
        AnswerRequest(c.status, c.body, *plugin->kestrelRequest);
        ASSERT_TRUE(ui.windowShown("Server Details")) << c.body;
        EXPECT_TRUE(ui.textShown(c.text, "Server Details")) << c.body;
        EXPECT_FALSE(ui.itemShown("Server Details/Join")) << c.body;
        ui.click("Server Details/Close");
        ui.frames(2);
        EXPECT_FALSE(ui.itemShown(in({"Kestrel", "KestrelSubTabs", "Main"}))) << c.body;
    }
    EXPECT_FALSE(plugin->kestrelRequest->ServerActive());
}

TEST_F(HostedTabs, AnAddressThatCouldExtendTheCommandIsNotJoined)
{
    for (const std::string address : {"1.2.3.4;quit", "evil host", "a:1/?Lan|exit", ""}) {
        host.console.clearLines();
        plugin->JoinHostedServer(address, 7779);
        host.game.runPosted();
        EXPECT_THAT(host.game.unrealCommands(), IsEmpty()) << address;
        EXPECT_THAT(host.console.lines(),
                    ElementsAre("Not joining the hosted server: its address is not a plain host name or IPv4 address"));
    }
}

// The controls talk to the location the server was requested from, whatever the combo shows
// later: with overlapping ports, another location's server would be someone else's.
TEST_F(HostedTabs, ServerControlsKeepTheServersOwnLocation)
{
    LoadLists();
    SelectTab("Kestrel");
    ui.click(in({"Kestrel", "Request Server"})); // "Devhost East", the first location
    AnswerRequest(200, "127.0.0.1:7779", *plugin->kestrelRequest);
    ui.click("Server Details/Join");
    ui.frames(2);
    ui.pickComboEntry(in({"Kestrel", "KestrelSubTabs", "Main", "##ServerSelection"}), "Devhost West");
    EXPECT_EQ(plugin->kestrelTab.selectedServer, 1);
    ui.click(in({"Kestrel", "KestrelSubTabs", "Server Controls"}));
    EXPECT_TRUE(ui.frameUntilWithin([&] { return ui.itemShown("Lock"); }));
    for (int index : {1, -1, 2}) {
        plugin->kestrelTab.selectedServer = index;
        ui.frames(2);
        EXPECT_FALSE(ui.textShown("Error: Invalid server selection", mainWindow)) << index;
        const size_t sent = host.http->requests().size();
        ui.click("Lock");
        ASSERT_EQ(host.http->requests().size(), sent + 1) << index;
        EXPECT_EQ(host.http->requests().back().request.url, "http://127.0.0.1:47802/servercommand") << index;
        host.http->respond(sent, 200, "ok");
    }
}

// Names that once aborted the host when a combo opened: an empty location and an empty bot name
// show a placeholder, and each entry keeps an id of its own.
TEST_F(HostedTabs, EmptyAndRepeatedNamesInTheCombos)
{
    host.http->respond(0, 200, R"([{"ip":"127.0.0.1","port":"47802","location":"","domain":""},
                                   {"ip":"127.0.0.1","port":"47803","location":"\u0000","domain":""},
                                   {"ip":"127.0.0.1","port":"47804","location":"","domain":""}])");
    host.http->respond(1, 200, R"j(["", "Atlas", "Atlas", {"name":"","versions":["", ""]}])j");
    ui.frames(2);
    SelectTab("Kestrel");
    // Entries are numbered: "@<n>/<label>" names one of several equal labels.
    const auto pick = [&](const std::string& combo, int n, const std::string& label) {
        const std::string popup = ui.openCombo(combo);
        ui.click(ui::EscapeIdPathSegment(popup) + "/@" + std::to_string(n) + "/" + ui::EscapeIdPathSegment(label));
        ui.frames(2);
    };
    pick(in({"Kestrel", "##ServerSelection"}), 2, "(no name)");
    EXPECT_EQ(plugin->kestrelTab.selectedServer, 2);
    pick(in({"Kestrel", "##ServerSelection"}), 1, "\xC2\xB6");
    EXPECT_EQ(plugin->kestrelTab.selectedServer, 1);

    SelectTab("RLBot Host");
    pick(in({"RLBot Host", "##BotSelection"}), 2, "Atlas");
    EXPECT_EQ(plugin->rlbotTab.selectedBot, 2);
    pick(in({"RLBot Host", "##BotSelection"}), 3, "(no name)");
    EXPECT_EQ(plugin->rlbotTab.selectedBot, 3);
    pick(in({"RLBot Host", "##NestedBotSelection"}), 1, "(no name)");
    EXPECT_EQ(plugin->rlbotTab.selectedVersion, 1);
}

TEST_F(HostedTabs, BotTeamsAndTheConfirmedRequest)
{
    LoadLists();
    SelectTab("RLBot Host");
    const std::string bot = in({"RLBot Host", "##BotSelection"});
    EXPECT_TRUE(ui.textShown("Atlas", mainWindow));
    const auto blue = in({"RLBot Host", "Add to Blue Team"});
    const auto orange = in({"RLBot Host", "Add to Orange Team"});
    for (int i = 0; i < 3; ++i) ui.click(blue);
    ui.click(blue);
    ui.frames(2);
    EXPECT_TRUE(ui.windowShown("Max Team Size"));
    EXPECT_TRUE(ui.textShown("Max team size is 3 bots.", "Max Team Size"));
    ui.click("Max Team Size/OK");
    ui.frames(2);
    EXPECT_EQ(plugin->rlbotTab.blueTeamBots.size(), 3u);

    host.console.clearLines();
    const size_t details = host.http->requests().size();
    ui.pickComboEntry(bot, "Nexto (beta)");
    ASSERT_GT(host.http->requests().size(), details);
    EXPECT_THAT(host.http->requests()[details].request.url, ::testing::EndsWith("/api/bots/Nexto/bot.toml"));
    host.http->respond(details, 200, "description = \"Strong\"\ndeveloper = Team");
    ui.frames(2);
    EXPECT_TRUE(ui.textShown("Description:  \"Strong\"", mainWindow));
    ui.pickComboEntry(in({"RLBot Host", "##NestedBotSelection"}), "Nexto-old");
    ui.click(orange);
    ui.frames(2);
    EXPECT_THAT(plugin->rlbotTab.orangeTeamBots, ElementsAre("Nexto-old"));

    // Removing the first blue entry renumbers the rest.
    plugin->rlbotTab.blueTeamBots = {"Atlas", "Kamikaze", "Nexto"};
    ui.frames(2);
    ui.click("Remove##Blue0");
    ui.frames(2);
    EXPECT_THAT(plugin->rlbotTab.blueTeamBots, ElementsAre("Kamikaze", "Nexto"));
    EXPECT_TRUE(ui.itemShown("Remove##Blue1"));
    EXPECT_FALSE(ui.itemShown("Remove##Blue2"));

    const size_t before = host.http->requests().size();
    ui.click(in({"RLBot Host", "Request Server"}));
    ui.frames(2);
    ASSERT_TRUE(ui.windowShown("Confirm Request"));
    EXPECT_TRUE(ui.textShown("Server: Devhost East", "Confirm Request"));
    EXPECT_TRUE(ui.textShown("Map: " + MapTable.begin()->second, "Confirm Request"));
    EXPECT_TRUE(ui.textShown("Blue Team Bots: 2", "Confirm Request"));
    EXPECT_TRUE(ui.textShown("Orange Team Bots: 1", "Confirm Request"));
    ui.click("Confirm Request/Cancel");
    ui.frames(3);
    EXPECT_EQ(host.http->requests().size(), before);

    ui.click(in({"RLBot Host", "Request Server"}));
    ui.frames(2);
    ui.click("Confirm Request/Confirm");
    ui.frame();
    EXPECT_TRUE(ui.textShown("Processing Request...", mainWindow));
    AnswerRequest(400, "no free servers", *plugin->rlbotRequest);
    EXPECT_THAT(lastRequestUrl, ::testing::EndsWith("&rlbot=yes&blueBots=Kamikaze,Nexto&orangeBots=Nexto-old"));
    EXPECT_TRUE(ui.textShown("Failed to request server: no free servers", "Server Details"));
    EXPECT_FALSE(ui.itemShown("Server Details/Join"));
    ui.click("Server Details/Close");
    ui.frames(2);

    ui.click(in({"RLBot Host", "Request Server"}));
    ui.frames(2);
    ui.click("Confirm Request/Confirm");
    AnswerRequest(200, "127.0.0.1:7790", *plugin->rlbotRequest);
    ui.click("Server Details/Join");
    ui.frames(2);
    host.game.runPosted();
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre("start 127.0.0.1:7790/?Lan"));
    EXPECT_TRUE(ui.itemShown(in({"RLBot Host", "RLBotHostSubTabs", "Server Controls"})));
}

TEST_F(HostedTabs, UnloadWithARequestWaitingNeitherWaitsNorTouchesThePlugin)
{
    LoadLists();
    SelectTab("Kestrel");
    ui.click(in({"Kestrel", "Request Server"}));
    ASSERT_TRUE(ui.frameUntilWithin([&] { return ServerRequest().has_value(); }));
    const size_t request = *ServerRequest();
    auto state = plugin->kestrelRequest;
    plugin->onUnload();
    const auto start = std::chrono::steady_clock::now();
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        host.http->respond(request, 200, "127.0.0.1:7779");
    });
    plugin.reset(); // the destructor waits for the worker at most briefly
    late.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_FALSE(state->RequestPending());
}

} // namespace
} // namespace kestrel::testing
