// The "Active Server List" window: refresh, filters, selection and joining, through real clicks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ui_fixtures.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
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
    // Names of the lobby rows drawn this frame.
    std::vector<std::string> rows() const
    {
        std::vector<std::string> names;
        for (const UiItem& item : ui.itemsIn(lobbyWindow)) {
            if (item.shown && item.label.find("##") != std::string::npos && item.label.rfind("##", 0) != 0)
                names.push_back(item.visibleLabel());
        }
        return names;
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
    ui.click("Chill##3");
    ui.frame();
    EXPECT_EQ(plugin->selectedLobbyId, "3");
    ui.click(refresh);
    EXPECT_EQ(plugin->selectedLobbyId, "");
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
    ui.click("Scrims##1");
    connect();
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre("open 127.0.0.1:7777?Lan?Password="));

    ui.click("Scrims EU##2");
    typeInto("Password", "let me in");
    connect();
    EXPECT_EQ(host.game.unrealCommands().back(), "open lobby.example.org:7800?Lan?Password=let me in");
}

TEST_F(LobbyBrowser, ASelectionGoneFromTheListCannotBeJoined)
{
    ui.click("Chill##3");
    answerRefresh({Lobby("1", "Scrims", "Park_P")});
    plugin->selectedLobbyId = "3"; // as if selected just before the list changed
    connect();
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
}

TEST_F(LobbyBrowser, AListingWithoutAnIdIsNeverTheSelection)
{
    answerRefresh({Lobby("", "Nameless", "Park_P"), Lobby("1", "Scrims", "Park_P")});
    // Refresh emptied the selection; the id-less row (marked as the player's own, since
    // ownLobbyId is empty too) must not count as chosen.
    connect();
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
    ui.click(ui::JoinIdPath({lobbyWindow, "#", "##lobbies", "Nameless (you)##"}));
    connect();
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
    ui.click("Scrims##1");
    connect();
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre("open 127.0.0.1:7777?Lan?Password="));
}

TEST_F(LobbyBrowser, AHostileAddressIsRefused)
{
    ui.click("Trap##4");
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

}  // namespace
}  // namespace kestrel::testing
