// Loading the plugin object into a host and out again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <kestrel/build_config.h>

#include "fake_host.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

struct LoadedPlugin : ::testing::Test {
    kestrel::testing::FakeHost host;
    std::shared_ptr<matchbay> plugin = std::make_shared<matchbay>();

    void SetUp() override
    {
        host.attach(*plugin);
        plugin->onLoad();
    }
};

TEST_F(LoadedPlugin, WiresKeyNotifierAndEndpoint)
{
    EXPECT_EQ(globalCvarManager, host.cvarManager);
    EXPECT_EQ(host.console.bind("F8"), "togglemenu matchbay");
    EXPECT_EQ(host.console.notifierDescription("kz"), "Parses commands to interact with Kestrel.");
    EXPECT_EQ(host.console.notifierPermissions("kz"), 0);

    auto definition = host.console.cvarDefinition("kzlobby_endpoint");
    ASSERT_TRUE(definition);
    EXPECT_EQ(definition->defaultValue, KESTREL_LOBBY_ENDPOINT);
    EXPECT_EQ(definition->description, "");
    EXPECT_TRUE(definition->searchable);
    EXPECT_FALSE(definition->hasMin);
    EXPECT_FALSE(definition->hasMax);
    EXPECT_TRUE(definition->saveToCfg);

    EXPECT_THAT(host.console.lines(), Contains(std::string("endpoint: ") + KESTREL_LOBBY_ENDPOINT));
    ASSERT_TRUE(plugin->CurrentLobbyApi());
    EXPECT_EQ(plugin->CurrentLobbyApi()->BaseAddress(), KESTREL_LOBBY_ENDPOINT);
}

TEST_F(LoadedPlugin, EndpointChangeReplacesTheLobbyClientSilently)
{
    auto before = plugin->CurrentLobbyApi();
    host.console.clearLines();
    ASSERT_TRUE(host.type("kzlobby_endpoint http://127.0.0.1:9/other"));
    auto after = plugin->CurrentLobbyApi();
    ASSERT_TRUE(after);
    EXPECT_NE(before, after);
    EXPECT_EQ(after->BaseAddress(), "http://127.0.0.1:9/other");
    EXPECT_TRUE(host.console.lines().empty());
}

TEST(PluginLoad, SavedEndpointWinsOverTheDefault)
{
    kestrel::testing::FakeHost host;
    host.console.presetCvar("kzlobby_endpoint", "http://127.0.0.1:5/saved");
    auto plugin = std::make_shared<matchbay>(); // hosts always own the object through a shared pointer
    host.attach(*plugin);
    plugin->onLoad();
    EXPECT_THAT(host.console.lines(), Contains("endpoint: http://127.0.0.1:5/saved"));
    EXPECT_EQ(plugin->CurrentLobbyApi()->BaseAddress(), "http://127.0.0.1:5/saved");
}

TEST_F(LoadedPlugin, UnloadWithoutBotNamesIsHarmlessAndUnloadClearsThem)
{
    plugin->onUnload();
    EXPECT_EQ(plugin->BotNameCount(), 0u);

    host.type("kz addBot Alpha");
    host.type("kz addBot Beta");
    ASSERT_EQ(plugin->BotNameCount(), 2u);
    plugin->onUnload();
    EXPECT_EQ(plugin->BotNameCount(), 0u);
    EXPECT_TRUE(plugin->BotNamesSnapshot().empty());
}

} // namespace
