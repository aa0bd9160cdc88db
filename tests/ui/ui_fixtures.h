#pragma once
// The plugin loaded into a fake host with its menu open, drawn headless frame by frame.
#include <chrono>
#include <memory>

#include <gtest/gtest.h>

#include "catalogue/mutator_settings_panel.h"
#include "fake_host.h"
#include "hosting/match_password.h"
#include "hosting/tab_state.h"
#include "plugin/matchbay.h"
#include "ui_driver.h"

namespace kestrel::testing {

inline constexpr const char* mainWindow = "Kestrel - V1.2.0";
inline constexpr const char* lobbyWindow = "Active Server List";

struct OpenMenu : ::testing::Test {
    FakeHost host;
    std::shared_ptr<matchbay> plugin = std::make_shared<matchbay>();
    UiDriver ui{[this] { plugin->DrawMenu(); }};

    // What the host holds before the plugin loads, such as saved console variables.
    virtual void BeforeLoad() {}

    void SetUp() override
    {
        // Tab choices live as long as the library; every test starts from a fresh load.
        hosting::LanHostTab() = {};
        hosting::RocketLeagueTab() = {};
        hosting::MatchPassword().Set("");
        matchbay::hostLanMutatorLabelColumnWidth = catalogue::initialMutatorLabelColumnWidth;
        matchbay::rocketLeagueMutatorLabelColumnWidth = catalogue::initialMutatorLabelColumnWidth;
        matchbay::kestrelMutatorLabelColumnWidth = catalogue::initialMutatorLabelColumnWidth;
        BeforeLoad();
        host.attach(*plugin);
        plugin->onLoad();
        // The reverse proxy's start-up entries come from its worker; they are in before the test starts.
        plugin->WaitForReverseProxyIdle(std::chrono::seconds(20));
        plugin->MenuOpened();
        ui.frame();
        // New windows all start at the same place; spread them out as a user would.
        ui.placeWindow(mainWindow, ImVec2(10, 10));
        ui.placeWindow("Active Server List", ImVec2(10, 650));
        ui.frames(2);
    }
};

}  // namespace kestrel::testing
