// The menu window's frame: the close button, the lobby list window and the reverse proxy window beside Host Lan.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "ui_fixtures.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

const std::string hostLanTab = ui::JoinIdPath({mainWindow, "Tabs", "Host Lan"});

long CountOf(const std::vector<std::string>& lines, const std::string& line)
{
    return std::count(lines.begin(), lines.end(), line);
}

void ExpectSize(const UiDriver& ui, const char* window, ImVec2 size)
{
    const auto rect = ui.windowRect(window);
    ASSERT_TRUE(rect) << window;
    EXPECT_FLOAT_EQ(rect->GetWidth(), size.x) << window;
    EXPECT_FLOAT_EQ(rect->GetHeight(), size.y) << window;
}

TEST_F(OpenMenu, ShowsSixTabsInOrderAndTheLobbyListBesideThem)
{
    std::vector<std::string> tabs;
    std::vector<float> lefts;
    for (const char* tab : {"Kestrel", "RLBot Host", "Host Lan", "Rocket League", "Tournament", "Workshop Downloader"}) {
        const UiItem item = ui.get(ui::JoinIdPath({mainWindow, "Tabs", tab}));
        tabs.push_back(item.label);
        lefts.push_back(item.rect.Min.x);
    }
    EXPECT_TRUE(std::is_sorted(lefts.begin(), lefts.end()));
    EXPECT_TRUE(std::adjacent_find(lefts.begin(), lefts.end()) == lefts.end());
    EXPECT_TRUE(ui.windowShown("Active Server List"));
    EXPECT_FALSE(ui.windowShown("Reverse Proxy"));

    ui.click(ui::JoinIdPath({mainWindow, "Tabs", "Tournament"}));
    ui.frame();
    EXPECT_TRUE(ui.textShown("WIP Coming back soon.", mainWindow));
}

TEST_F(OpenMenu, CloseButtonTogglesTheHostMenuOnce)
{
    EXPECT_EQ(CountOf(host.console.executedCommands(), "togglemenu matchbay"), 0);
    ui.closeWindow(mainWindow);
    ui.frames(5);  // the host has not yet called MenuClosed, so the window is still drawn
    EXPECT_EQ(CountOf(host.console.executedCommands(), "togglemenu matchbay"), 1);

    plugin->MenuClosed();
    plugin->MenuOpened();
    ui.frames(2);
    EXPECT_EQ(CountOf(host.console.executedCommands(), "togglemenu matchbay"), 1);
}

TEST_F(OpenMenu, CloseButtonOfACollapsedWindowTogglesTheHostMenu)
{
    ImGui::SetWindowCollapsed(mainWindow, true);
    ui.frames(2);
    ui.closeWindow(mainWindow);
    ui.frames(2);
    EXPECT_EQ(CountOf(host.console.executedCommands(), "togglemenu matchbay"), 1);
}

TEST_F(OpenMenu, LobbyListReturnsToItsSizeAfterAResize)
{
    ExpectSize(ui, "Active Server List", ImVec2(800, 300));
    const ImVec2 whileHeld = ui.resizeWindow("Active Server List", ImVec2(600, 200));
    EXPECT_FLOAT_EQ(whileHeld.x, 600.0f);  // the drag reached the grip
    EXPECT_FLOAT_EQ(whileHeld.y, 200.0f);
    ui.frame();
    ExpectSize(ui, "Active Server List", ImVec2(800, 300));
}

TEST_F(OpenMenu, ReverseProxyFollowsHostLanAndKeepsTheUsersSize)
{
    ui.click(hostLanTab);
    ASSERT_TRUE(ui.frameUntil([&] { return ui.windowShown("Reverse Proxy"); }));
    ExpectSize(ui, "Reverse Proxy", ImVec2(450, 500));
    ui.placeWindow("Reverse Proxy", ImVec2(820, 10));
    const ImVec2 whileHeld = ui.resizeWindow("Reverse Proxy", ImVec2(520, 380));
    EXPECT_FLOAT_EQ(whileHeld.x, 520.0f);

    ui.click(ui::JoinIdPath({mainWindow, "Tabs", "Kestrel"}));
    ui.frames(2);
    EXPECT_FALSE(ui.windowShown("Reverse Proxy"));

    ui.click(hostLanTab);
    ASSERT_TRUE(ui.frameUntil([&] { return ui.windowShown("Reverse Proxy"); }));
    ExpectSize(ui, "Reverse Proxy", ImVec2(520, 380));
}

TEST_F(OpenMenu, ReverseProxyCloseButtonHidesItForNoMoreThanThatFrame)
{
    ui.click(hostLanTab);
    ASSERT_TRUE(ui.frameUntil([&] { return ui.windowShown("Reverse Proxy"); }));
    ui.placeWindow("Reverse Proxy", ImVec2(820, 10));

    ui.closeWindow("Reverse Proxy");
    for (int i = 0; i < 3; ++i) {
        ui.frame();
        EXPECT_TRUE(ui.windowShown("Reverse Proxy")) << "frame " << i << " after the close";
    }
    EXPECT_TRUE(ui.windowShown(mainWindow));
    EXPECT_EQ(CountOf(host.console.executedCommands(), "togglemenu matchbay"), 0);
}

// A new user's screen: nothing placed by hand, the three windows where they first open.
TEST(FirstUseLayout, TheThreeWindowsOpenSideBySideOnTheScreen)
{
    for (const ImVec2 display : {ImVec2(1280, 720), ImVec2(1920, 1080), ImVec2(2560, 1440)}) {
        SCOPED_TRACE(std::to_string(display.x) + "x" + std::to_string(display.y));
        FakeHost host;
        auto plugin = std::make_shared<matchbay>();
        UiDriver ui([&] { plugin->DrawMenu(); }, display);
        host.attach(*plugin);
        plugin->onLoad();
        plugin->MenuOpened();
        ui.frames(2);
        ui.click(hostLanTab);
        ASSERT_TRUE(ui.frameUntil([&] { return ui.windowShown("Reverse Proxy"); }));

        std::vector<ImRect> rects;
        for (const char* window : {mainWindow, lobbyWindow, "Reverse Proxy"}) {
            const auto rect = ui.windowRect(window);
            ASSERT_TRUE(rect) << window;
            EXPECT_TRUE(ImRect(ImVec2(0, 0), display).Contains(*rect)) << window << " runs off the screen";
            rects.push_back(*rect);
        }
        for (size_t a = 0; a < rects.size(); ++a)
            for (size_t b = a + 1; b < rects.size(); ++b)
                EXPECT_FALSE(rects[a].Overlaps(rects[b])) << "windows " << a << " and " << b << " overlap";
        ExpectSize(ui, lobbyWindow, ImVec2(800, 300));
        ExpectSize(ui, "Reverse Proxy", ImVec2(450, 500));
        plugin->onUnload();
    }
}

}  // namespace
}  // namespace kestrel::testing
