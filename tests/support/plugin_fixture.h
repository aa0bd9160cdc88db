#pragma once
// The plugin object loaded into a fresh fake host, with the start-up log lines cleared.
#include <chrono>
#include <memory>

#include <gtest/gtest.h>

#include "fake_host.h"
#include "plugin/matchbay.h"

namespace kestrel::testing {

struct LoadedPlugin : ::testing::Test {
    FakeHost host;
    // Owned by a shared pointer as the host owns it: completions find it through a weak one.
    std::shared_ptr<matchbay> plugin = std::make_shared<matchbay>();

    void SetUp() override
    {
        host.attach(*plugin);
        plugin->onLoad();
        // The reverse proxy's start-up entries come from its worker; they are in before the test starts.
        plugin->WaitForReverseProxyIdle(std::chrono::seconds(20));
        host.console.clearLines();
    }
};

} // namespace kestrel::testing
