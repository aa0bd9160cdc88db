// The "Active Server List" window: refresh, filters, selection and joining, through real clicks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>

#include "ui_fixtures.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

nlohmann::json Lobby(const std::string& id, const std::string& name, const std::string& map,
                     const std::string& address = "127.0.0.1", int port = 7777)
{
    return {{"id", id},        {"name", name},         {"map", map},       {"description", ""},
            {"playerCount", 2}, {"players", {"a", "b"}}, {"hasPassword", false}, {"ipAddress", address},
            {"port", port},    {"secondsSinceUpdate", 4}};
}

struct LobbyBrowser : OpenMenu {
    const std::string refresh = ui::JoinIdPath({lobbyWindow, "#", "Refresh"});

    void SetUp() override
    {
        OpenMenu::SetUp();
        host.console.clearLines();
        answerRefresh({Lobby("1", "Scrims", "Park_P"), Lobby("2", "Scrims EU", "Stadium_P", "lobby.example.org", 7800),
                       Lobby("3", "Chill", "Park_Night_P"), Lobby("4", "Trap", "Park_P", "1.2.3.4?Listen;quit")});
    }
    void answerRefresh(std::vector<nlohmann::json> lobbies)
    {
        const size_t index = host.http->requests().size();
        ui.click(refresh);
        ASSERT_TRUE(host.http->waitForRequests(index + 1));
        host.http->respond(index, 200, nlohmann::json{{"lobbies", lobbies}}.dump());
        ui.frames(2);
    }
    // Labels of the lobby rows drawn this frame: every item of the list region is a row.
    std::vector<std::string> rows() const
    {
        std::vector<std::string> names;
        for (const UiItem& item : ui.itemsIn(lobbyWindow)) {
            // The column borders are items too, without a label.
            if (item.shown && !item.label.empty() && item.window.find("/##lobbies_") != std::string::npos)
                names.push_back(item.label);
        }
        return names;
    }
    // A row's id path: its position in the list, then its label.
    static std::string row(size_t index, const std::string& label)
    {
        return ui::JoinIdPath({lobbyWindow, "#", "##lobbies"}) + "/@" + std::to_string(index) + "/" +
               ui::EscapeIdPathSegment(label);
    }
    void typeInto(const std::string& field, const std::string& text)
    {
        ui.click(ui::JoinIdPath({lobbyWindow, "#", field}));
        ui.typeText(text);
        ui.frames(2);
    }
    void connect()
    {
        ui.click(ui::JoinIdPath({lobbyWindow, "#", "Connect"}));
        ui.frame();
        host.game.runPosted();
    }
};

TEST_F(LobbyBrowser, ShowsTheListInServiceOrderWithItsColumns)
{
    EXPECT_THAT(rows(), ElementsAre("Scrims", "Scrims EU", "Chill", "Trap"));
    EXPECT_TRUE(ui.textShown("Stadium_P", lobbyWindow));
    for (const char* header : {"Name", "Map", "Players", "(?)"}) EXPECT_TRUE(ui.textShown(header, lobbyWindow)) << header;
    EXPECT_EQ(host.http->requests().back().request.url, plugin->CurrentLobbyApi()->BaseAddress() + "/lobby");
}

TEST_F(LobbyBrowser, FiltersCombineAndWildcardsWork)
{
    typeInto("Name filter", "Scrims*");
    EXPECT_THAT(rows(), ElementsAre("Scrims", "Scrims EU"));
    typeInto("map filter", "Park*");
    EXPECT_THAT(rows(), ElementsAre("Scrims"));
    ui.click(ui::JoinIdPath({lobbyWindow, "#", "Name filter"}));
    ui.pressKey(ImGuiKey_Backspace);
    ui.frames(2);
    EXPECT_THAT(rows(), IsEmpty()); // "Scrims" alone is an exact match, and the map filter still holds
}

TEST_F(LobbyBrowser, RefreshClearsTheSelectionBeforeTheAnswer)
{
    ui.click(row(2, "Chill"));
    ui.frame();
    ASSERT_TRUE(plugin->SelectedLobby());
    EXPECT_EQ(plugin->SelectedLobby()->id, "3");
    ui.click(refresh);
    EXPECT_TRUE(plugin->selectedLobby.Empty());
    // The old list stays on screen until the answer, and a failure keeps it.
    host.http->respond(host.http->requests().size() - 1, 500, "down");
    ui.frames(2);
    EXPECT_THAT(rows(), ElementsAre("Scrims", "Scrims EU", "Chill", "Trap"));
    EXPECT_THAT(host.console.lines(), ElementsAre("Request failed(500): down"));
}

TEST_F(LobbyBrowser, ConnectWithoutASelectionDoesNothing)
{
    connect();
    EXPECT_EQ(host.game.postedCount(), 0u);
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
}

TEST_F(LobbyBrowser, JoiningSendsTheLanTravelCommand)
{
    ui.click(row(0, "Scrims"));
    connect();
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre("open 127.0.0.1:7777?Lan?Password="));

    ui.click(row(1, "Scrims EU"));
    typeInto("Password", "let me in");
    connect();
    EXPECT_EQ(host.game.unrealCommands().back(), "open lobby.example.org:7800?Lan?Password=let me in");
}

TEST_F(LobbyBrowser, ASelectionGoneFromTheListCannotBeJoined)
{
    ui.click(row(2, "Chill"));
    // A new list arrives without "Refresh" having cleared the choice (as from a second request).
    const size_t index = host.http->requests().size();
    plugin->ApiGetMatches();
    ASSERT_TRUE(host.http->waitForRequests(index + 1));
    host.http->respond(index, 200, nlohmann::json{{"lobbies", {Lobby("3", "Chill", "Park_P", "10.0.0.9")}}}.dump());
    ui.frames(2);
    connect();
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
}

TEST_F(LobbyBrowser, AListingWithoutAnIdIsChosenOnlyByAClick)
{
    answerRefresh({Lobby("", "Nameless", "Park_P", "10.0.0.1"), Lobby("1", "Scrims", "Park_P")});
    // Refresh emptied the selection; the id-less row (marked as the player's own, since
    // ownLobbyId is empty too) must not count as chosen.
    connect();
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
    ui.click(row(0, "Nameless (you)"));
    connect();
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre("open 10.0.0.1:7777?Lan?Password="));
    ui.click(row(1, "Scrims"));
    connect();
    EXPECT_EQ(host.game.unrealCommands().back(), "open 127.0.0.1:7777?Lan?Password=");
}

TEST_F(LobbyBrowser, AHostileAddressIsRefused)
{
    ui.click(row(3, "Trap"));
    connect();
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
    EXPECT_THAT(host.console.lines(),
                ElementsAre("Not joining the lobby: its address is not a plain host name or IPv4 address"));
}

TEST_F(LobbyBrowser, OwnLobbyIsMarked)
{
    plugin->ownLobbyId = "2";
    ui.frames(2);
    EXPECT_THAT(rows(), ElementsAre("Scrims", "Scrims EU (you)", "Chill", "Trap"));
}

// Anyone can announce a lobby under any id: an attacker's listing first, the real one second,
// both with the same id. What was clicked is what is joined, with the password typed for it.
TEST_F(LobbyBrowser, ListingsSharingAnIdStayApart)
{
    answerRefresh({Lobby("dup", "Real Lobby", "Park_P", "10.6.6.6", 6666), Lobby("dup", "Real Lobby", "Park_P", "127.0.0.1", 7790),
                   Lobby("dup", "Other", "Stadium_P", "127.0.0.2", 7791)});
    EXPECT_THAT(rows(), ElementsAre("Real Lobby", "Real Lobby", "Other"));
    ui.click(row(1, "Real Lobby"));
    const MatchListings shown = plugin->LobbyListingsSnapshot();
    for (size_t i = 0; i < shown->size(); ++i) EXPECT_EQ(plugin->selectedLobby.Is(shown, i), i == 1) << i; // one row lit
    typeInto("Password", "hunter2");
    connect();
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre("open 127.0.0.1:7790?Lan?Password=hunter2"));

    ui.click(row(2, "Other"));
    connect();
    EXPECT_EQ(host.game.unrealCommands().back(), "open 127.0.0.2:7791?Lan?Password=hunter2");
}

// Names that once aborted the host (empty, NUL-led) or drew rows of their own (line breaks):
// each listing is one row with a visible name, and each row joins its own lobby.
TEST_F(LobbyBrowser, EveryNameIsOneVisibleRow)
{
    answerRefresh({Lobby("a", "", "", "10.0.0.1"), Lobby("b", std::string("\0Evil", 5), "Park_P", "10.0.0.2"),
                   Lobby("c", "Chill Free Play\nFriday Night Scrims\nRumble Night", "Park_P", "10.0.0.3"),
                   Lobby("d", std::string(1 << 20, 'N'), "Park_P", "10.0.0.4")});
    const std::string marker = "\xC2\xB6";
    const std::string multiLine = "Chill Free Play" + marker + "Friday Night Scrims" + marker + "Rumble Night";
    const std::string longName = std::string(125, 'N') + "...";
    EXPECT_THAT(rows(), ElementsAre("(no name)", marker + "Evil", multiLine, longName));
    // What is drawn: the placeholder for the empty name and map, the three names on one line.
    const auto lines = ui.textLines(lobbyWindow);
    const auto count = [&](const std::string& part) {
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(part) != std::string::npos; });
    };
    EXPECT_EQ(count("(no name)"), 2);
    EXPECT_THAT(lines, Contains(multiLine));
    EXPECT_EQ(count("Friday Night Scrims"), 1);
    const std::vector<std::string> labels{"(no name)", marker + "Evil", multiLine, longName};
    for (size_t i = 0; i < labels.size(); ++i) {
        ui.click(row(i, labels[i]));
        connect();
        EXPECT_EQ(host.game.unrealCommands().back(), "open 10.0.0." + std::to_string(i + 1) + ":7777?Lan?Password=") << i;
    }
}

// Ports that are no port leave the lobby on the list, greyed, with the reason on hover; "Connect"
// refuses it with a line. Counts below zero show as 0.
TEST_F(LobbyBrowser, APortThatIsNoPortIsNotJoined)
{
    auto negative = Lobby("1", "Negative", "Park_P", "127.0.0.1", -1);
    negative["playerCount"] = -3;
    negative["secondsSinceUpdate"] = -60;
    auto flag = Lobby("2", "Flag", "Park_P");
    flag["port"] = true;
    auto exponent = Lobby("3", "Exponent", "Park_P");
    exponent["port"] = 4.79e4;
    answerRefresh({negative, Lobby("4", "Too high", "Park_P", "127.0.0.1", 65536), flag, exponent});
    EXPECT_THAT(ui.textLines(lobbyWindow), Contains("0"));
    EXPECT_THAT(ui.textLines(lobbyWindow), Not(Contains("-3")));
    EXPECT_THAT(ui.textLines(lobbyWindow), Not(Contains("-60")));
    const struct {
        const char* label;
        const char* reason;
    } cases[] = {
        {"Negative", "its port -1 is not a whole number from 1 to 65535"},
        {"Too high", "its port 65536 is not a whole number from 1 to 65535"},
        {"Flag", "its port true is not a whole number from 1 to 65535"},
        {"Exponent", "its port 47900.0 is not a whole number from 1 to 65535"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string path = row(i, cases[i].label);
        ui.moveMouse(ui.get(path).rect.GetCenter());
        ui.frame();
        EXPECT_TRUE(ui.textShown(std::string("Not joinable: ") + cases[i].reason)) << cases[i].label;
        host.console.clearLines();
        ui.click(path);
        connect();
        EXPECT_THAT(host.console.lines(), ElementsAre(std::string("Not joining the lobby: ") + cases[i].reason));
    }
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
}

}  // namespace
}  // namespace kestrel::testing
