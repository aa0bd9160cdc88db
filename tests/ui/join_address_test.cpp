// "Join Address" at the foot of the "Active Server List" window, through real clicks and typing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui_fixtures.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct JoinAddressLine : OpenMenu {
    const std::string field = ui::JoinIdPath({lobbyWindow, "##JoinAddress"});
    const std::string recent = ui::JoinIdPath({lobbyWindow, "##RecentAddresses"});
    const std::string button = ui::JoinIdPath({lobbyWindow, "Join Address"});

    void type(const std::string& path, const std::string& text)
    {
        ui.click(path);
        ui.typeText(text);
        ui.frame();
    }
    void join()
    {
        ui.click(button);
        ui.frame();
        host.game.runPosted();
    }
};

TEST_F(JoinAddressLine, TypedAddressAndTheWindowsPasswordReachTheGame)
{
    EXPECT_TRUE(ui.textShown("address:port", lobbyWindow));
    type(field, "198.51.100.1:47900");
    type(ui::JoinIdPath({lobbyWindow, "#", "Password"}), "door");
    join();
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre("open 198.51.100.1:47900?Lan?Password=door"));
    EXPECT_TRUE(ui.textShown("Joining 198.51.100.1:47900", lobbyWindow));
}

TEST_F(JoinAddressLine, ARefusedAddressShowsWhyAndSendsNothing)
{
    join();
    EXPECT_TRUE(ui.textShown("Enter an address to join, as host:port", lobbyWindow));
    type(field, "1.2.3.4:7777?Listen");
    join();
    EXPECT_THAT(host.game.unrealCommands(), IsEmpty());
    EXPECT_EQ(host.game.postedCount(), 0u);
    EXPECT_TRUE(ui.textShown("Not joined: the address holds |, ?, # or a control character", lobbyWindow));
    EXPECT_FALSE(ui.textShown("Enter an address", lobbyWindow)); // one status line, the latest
}

TEST_F(JoinAddressLine, AJoinedAddressIsOfferedBesideTheField)
{
    EXPECT_THAT(plugin->RecentAddressesSnapshot(), IsEmpty());
    type(field, "  lobby.example.org\r\n");
    join();
    plugin->joinAddressText.clear(); // a click places the cursor; it selects nothing to type over
    type(field, "203.0.113.7:7800");
    join();
    const std::string popup = ui.openCombo(recent);
    std::vector<std::string> offered;
    for (const UiItem& item : ui.itemsIn(popup)) offered.push_back(item.label);
    EXPECT_THAT(offered, ElementsAre("203.0.113.7:7800", "lobby.example.org:7777"));
    ui.pickComboEntry(recent, "lobby.example.org:7777");
    EXPECT_EQ(plugin->joinAddressText, "lobby.example.org:7777");
    join();
    EXPECT_EQ(host.game.unrealCommands().back(), "open lobby.example.org:7777?Lan?Password=");
    EXPECT_EQ(host.console.findCvar("kz_recent_addresses")->value(), "lobby.example.org:7777,203.0.113.7:7800");
}

// The host read the variable from its saved configuration before the plugin loaded.
struct JoinAddressAfterARestart : JoinAddressLine {
    void BeforeLoad() override { host.console.presetCvar("kz_recent_addresses", "203.0.113.7:7800,lobby.example.org:7777"); }
};

TEST_F(JoinAddressAfterARestart, SavedAddressesAreOffered)
{
    ui.pickComboEntry(recent, "203.0.113.7:7800");
    join();
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre("open 203.0.113.7:7800?Lan?Password="));
}

} // namespace
} // namespace kestrel::testing
