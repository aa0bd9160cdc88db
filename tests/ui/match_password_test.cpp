// The Host Lan tab's "Match Password": what "Host Lan" sends with it, what it refuses, the
// reverse proxy panel's warning about an open match, and where the password never goes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "catalogue/maps.h"
#include "hosting/match_password.h"
#include "reverse_proxy_fixture.h"
#include "ui_fixtures.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr const char* kWarning = "Anyone with the address can join: set a Match Password in Host Lan and host again.";
constexpr const char* kSeparatorRefusal = "The Match Password may not hold spaces, |, ?, # or control characters";
constexpr const char* kLengthRefusal = "The Match Password may be at most 32 characters long";

struct HostLanPassword : OpenMenu {
    ReverseProxyFolders folders;
    const std::string field = ui::JoinIdPath({mainWindow, "Tabs", "Host Lan", "Match Password"});
    const std::string button = ui::JoinIdPath({mainWindow, "Tabs", "Host Lan", "Host Lan"});

    void SetUp() override
    {
        OpenMenu::SetUp();
        ui.click(ui::JoinIdPath({mainWindow, "Tabs", "Host Lan"}));
        ASSERT_TRUE(ui.frameUntil([&] { return ui.windowShown("Reverse Proxy"); }));
        ui.placeWindow("Reverse Proxy", ImVec2(820, 10));
        ImGui::SetCurrentContext(ui.context());
        ImGui::SetWindowSize("Reverse Proxy", ImVec2(760, 640)); // the warning on one row
        ui.frames(2);
        host.console.clearLines();
    }
    void TearDown() override { plugin->onUnload(); }

    void hostLan()
    {
        ui.click(button);
        ui.frame();
        host.game.runPosted();
    }
    static std::string Command(const std::string& passwordOption)
    {
        return "open " + MapTable.begin()->first + "?Playtest?game=TAGame.GameInfo_Soccar_TA?GameTags=BotsNone,PlayerCount8"
               "?NumPublicConnections=10?NumOpenPublicConnections=10?Lan?Listen" + passwordOption;
    }
    void connect()
    {
        {
            std::lock_guard<std::mutex> lock(plugin->connectionMutex);
            plugin->connectedAddress = "198.51.100.1";
            plugin->connectedPort = 47900;
        }
        plugin->connectionStatus = ConnectionStatus::Connected;
        ui.frames(2);
    }
};

TEST_F(HostLanPassword, HostLanSendsThePasswordOrRefusesIt)
{
    struct Case {
        std::string password;
        std::string expected; // the command sent, or the status line when nothing is
        bool refused;
    };
    std::string twoByteLetters;
    for (int i = 0; i < 32; ++i) twoByteLetters += "\xc3\xa9";
    const Case cases[] = {
        {"", Command(""), false},
        {"door", Command("?Password=door"), false},
        {std::string(32, 'x'), Command("?Password=" + std::string(32, 'x')), false},
        {twoByteLetters, Command("?Password=" + twoByteLetters), false}, // 32 characters in 64 bytes
        {std::string(33, 'x'), kLengthRefusal, true},
        {"two words", kSeparatorRefusal, true},
        {"door?Listen", kSeparatorRefusal, true},
        {"door|quit", kSeparatorRefusal, true},
        {"door#portal", kSeparatorRefusal, true},
        {"door\nquit", kSeparatorRefusal, true},
        {"door\t", kSeparatorRefusal, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        hosting::MatchPassword().Set(c.password); // as the console would: no typing gets control characters in
        const size_t before = host.game.unrealCommands().size();
        hostLan();
        ui.frame();
        if (c.refused) {
            EXPECT_EQ(host.game.unrealCommands().size(), before);
            EXPECT_EQ(host.game.postedCount(), 0u);
            EXPECT_TRUE(ui.textShown(c.expected, mainWindow));
        } else {
            ASSERT_EQ(host.game.unrealCommands().size(), before + 1);
            EXPECT_EQ(host.game.unrealCommands().back(), c.expected);
            EXPECT_FALSE(ui.textShown("The Match Password may", mainWindow));
        }
    }
}

TEST_F(HostLanPassword, TheWarningShowsWhileAnOpenMatchIsReachable)
{
    connect();
    EXPECT_FALSE(ui.textShown(kWarning, "Reverse Proxy")); // nothing hosted yet
    hostLan();
    ui.frames(2);
    EXPECT_TRUE(ui.textShown(kWarning, "Reverse Proxy"));

    ui.click(field);
    ui.typeText("lab-door");
    ui.frame();
    EXPECT_FALSE(ui.textShown("lab-door")); // hidden until "Show"
    ui.click(ui::JoinIdPath({mainWindow, "Tabs", "Host Lan", "Show"}));
    ui.frames(2);
    EXPECT_TRUE(ui.textShown("lab-door", mainWindow));
    hostLan();
    ui.frames(2);
    EXPECT_EQ(host.game.unrealCommands().back(), Command("?Password=lab-door"));
    EXPECT_FALSE(ui.textShown(kWarning, "Reverse Proxy"));

    // Joining elsewhere ends the hosted match; hosting it open again brings the warning back.
    plugin->JoinAddress("203.0.113.7", "");
    ui.frame();
    EXPECT_FALSE(ui.textShown(kWarning, "Reverse Proxy"));
    hosting::MatchPassword().Set("");
    hostLan();
    ui.frames(2);
    EXPECT_TRUE(ui.textShown(kWarning, "Reverse Proxy"));
    plugin->connectionStatus = ConnectionStatus::Disconnected;
    ui.frames(2);
    EXPECT_FALSE(ui.textShown(kWarning, "Reverse Proxy"));
}

TEST_F(HostLanPassword, ThePasswordReachesOnlyTheGame)
{
    host.type("kz password lab-door");
    host.type("kz password");
    host.type("kz password lab-door");
    hostLan();
    connect();
    plugin->CopyPublicAddress();
    EXPECT_THAT(host.game.unrealCommands(), ElementsAre(Command("?Password=lab-door")));
    EXPECT_THAT(host.console.lines(),
                ElementsAre("Match Password set: the next Host Lan match asks for it",
                            "Match Password cleared: the next Host Lan match is open to anyone",
                            "Match Password set: the next Host Lan match asks for it",
                            "Executing local command: " + Command("?Password=***"),
                            "[INFO] Copied 198.51.100.1:47900"));
    for (const StatusLogEntry& entry : plugin->StatusLogSnapshot()) EXPECT_THAT(entry.message, Not(HasSubstr("lab-door")));
    for (const auto& [name, value] : host.console.cvarValues()) EXPECT_THAT(value, Not(HasSubstr("lab-door"))) << name;
    EXPECT_THAT(host.console.cvarValues(), Not(IsEmpty()));
}

} // namespace
} // namespace kestrel::testing
