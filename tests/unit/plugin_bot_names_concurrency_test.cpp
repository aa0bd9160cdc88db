// The bot name list is reached from the console, the HTTP thread and the drawing pass at
// once; the thread sanitizer build proves the accesses never overlap.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "fake_host.h"
#include "plugin/matchbay.h"

namespace {

TEST(BotNames, ConsoleAppendsWhileOtherThreadsReadAndReplace)
{
    kestrel::testing::FakeHost host;
    auto owner = std::make_shared<matchbay>(); // hosts always own the object through a shared pointer
    matchbay& plugin = *owner;
    host.attach(plugin);
    plugin.onLoad();

    constexpr int appends = 2000;
    std::atomic<bool> done{false};
    std::thread drawing([&] {
        while (!done.load()) {
            auto names = plugin.BotNamesSnapshot();
            auto count = plugin.BotNameCount();
            for (const auto& name : names) ASSERT_FALSE(name.empty());
            (void)count;
        }
    });
    std::thread http([&] {
        for (int i = 0; i < 50; ++i) plugin.ReplaceBotNames({"Nexto", "Element", "Kamikaze"});
    });
    for (int i = 0; i < appends; ++i) host.type("kz addBot Bot" + std::to_string(i));
    http.join();
    // The replacements may land before, between or after the appends; an append made once
    // they are all done must come last.
    host.type("kz addBot Last");
    done = true;
    drawing.join();

    auto names = plugin.BotNamesSnapshot();
    EXPECT_EQ(plugin.BotNameCount(), names.size());
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "Last");
}

} // namespace
