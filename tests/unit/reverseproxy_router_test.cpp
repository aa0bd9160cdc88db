// The direct path's outcomes against a scripted router: what the "Router:" line says, which
// mappings are asked for, the lease and its renewal, and removal at close and at unload.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "reverse_proxy_fixture.h"
#include "reverseproxy/router_port_mapper.h"
#include "scripted_port_mapping.h"

namespace kestrel::testing {
namespace {

using reverse_proxy::RouterState;
using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::Not;
using namespace std::chrono_literals;

struct Logged {
    std::string message;
    LogLevel level;
};

struct Mapper {
    std::shared_ptr<RouterScript> script = std::make_shared<RouterScript>();
    std::vector<Logged> log;
    reverse_proxy::RouterPortMapper mapper{[this] { return std::make_unique<ScriptedPortMapping>(script); },
                                           [this](const std::string& message, LogLevel level) {
                                               log.push_back({message, level});
                                           }};
    std::vector<std::string> adds() const
    {
        std::vector<std::string> out;
        for (const std::string& call : script->Calls()) {
            if (call.rfind("add ", 0) == 0) out.push_back(call.substr(4, call.find(" 192.168") - 4));
        }
        return out;
    }
};

platform::RouterResult Refusal(int code, const char* text) { return {code, text}; }

TEST(RouterPortMapper, OutcomesAreDecidedFromTheAnswersAndTheAddresses)
{
    const std::string noRouter = "No UPnP router found (UPnP may be off in the router's settings)";
    auto notPublic = [](const std::string& address) {
        return "The router's internet address " + address +
               " is not public (carrier-grade NAT or a second router): players cannot reach it directly";
    };
    auto forwards = [](const std::string& address, int port) {
        return "Router forwards UDP " + std::to_string(port) + " to this PC: players join at " + address + ":" +
               std::to_string(port);
    };
    std::map<int, platform::RouterResult> allTaken;
    for (int port = 7777; port <= 7787; ++port) allTaken[port] = Refusal(718, "ConflictInMappingEntry");
    std::vector<std::string> elevenAdds;
    for (int port = 7777; port <= 7787; ++port) elevenAdds.push_back(std::to_string(port) + " 7777");

    struct Case {
        const char* name;
        bool found;
        std::string external;
        std::map<int, platform::RouterResult> addResults;
        RouterState state;
        std::string text;
        std::vector<std::string> adds; // "EXT INT"
        std::optional<std::chrono::seconds> renewAfter;
    };
    const std::vector<Case> cases = {
        {"no router", false, "203.0.113.7", {}, RouterState::NoRouter, noRouter, {}, std::nullopt},
        {"empty address", true, "", {}, RouterState::NotPublic, notPublic("(none)"), {}, std::nullopt},
        {"not an address", true, "203.0.113", {}, RouterState::NotPublic, notPublic("203.0.113"), {}, std::nullopt},
        {"0/8", true, "0.255.255.255", {}, RouterState::NotPublic, notPublic("0.255.255.255"), {}, std::nullopt},
        {"10/8 low", true, "10.0.0.0", {}, RouterState::NotPublic, notPublic("10.0.0.0"), {}, std::nullopt},
        {"10/8 high", true, "10.255.255.255", {}, RouterState::NotPublic, notPublic("10.255.255.255"), {}, std::nullopt},
        {"100.64/10 low", true, "100.64.0.0", {}, RouterState::NotPublic, notPublic("100.64.0.0"), {}, std::nullopt},
        {"100.64/10 high", true, "100.127.255.255", {}, RouterState::NotPublic, notPublic("100.127.255.255"), {}, std::nullopt},
        {"127/8", true, "127.255.255.255", {}, RouterState::NotPublic, notPublic("127.255.255.255"), {}, std::nullopt},
        {"169.254/16", true, "169.254.0.0", {}, RouterState::NotPublic, notPublic("169.254.0.0"), {}, std::nullopt},
        {"172.16/12 low", true, "172.16.0.0", {}, RouterState::NotPublic, notPublic("172.16.0.0"), {}, std::nullopt},
        {"172.16/12 high", true, "172.31.255.255", {}, RouterState::NotPublic, notPublic("172.31.255.255"), {}, std::nullopt},
        {"192.168/16", true, "192.168.255.255", {}, RouterState::NotPublic, notPublic("192.168.255.255"), {}, std::nullopt},
        {"just below 100.64/10", true, "100.63.255.255", {}, RouterState::Mapped, forwards("100.63.255.255", 7777), {"7777 7777"}, 1800s},
        {"just above 100.64/10", true, "100.128.0.0", {}, RouterState::Mapped, forwards("100.128.0.0", 7777), {"7777 7777"}, 1800s},
        {"just below 172.16/12", true, "172.15.255.255", {}, RouterState::Mapped, forwards("172.15.255.255", 7777), {"7777 7777"}, 1800s},
        {"just above 172.16/12", true, "172.32.0.0", {}, RouterState::Mapped, forwards("172.32.0.0", 7777), {"7777 7777"}, 1800s},
        {"beside 169.254/16", true, "169.255.0.0", {}, RouterState::Mapped, forwards("169.255.0.0", 7777), {"7777 7777"}, 1800s},
        {"just above 10/8", true, "11.0.0.0", {}, RouterState::Mapped, forwards("11.0.0.0", 7777), {"7777 7777"}, 1800s},
        {"documentation range is the lab's internet", true, "198.51.100.1", {}, RouterState::Mapped, forwards("198.51.100.1", 7777), {"7777 7777"}, 1800s},
        {"718 then the next port", true, "203.0.113.7", {{7777, Refusal(718, "ConflictInMappingEntry")}}, RouterState::Mapped,
         forwards("203.0.113.7", 7778), {"7777 7777", "7778 7777"}, 1800s},
        {"every port taken", true, "203.0.113.7", allTaken, RouterState::Refused,
         "The router refused UDP 7777 to 7787: other machines hold each of them (error 718)", elevenAdds, std::nullopt},
        {"another refusal names code and text", true, "203.0.113.7", {{7777, Refusal(606, "Action not authorized")}},
         RouterState::Refused, "The router refused to forward UDP 7777: error 606 (Action not authorized)", {"7777 7777"}, std::nullopt},
        {"725 gets a permanent mapping", true, "203.0.113.7", {{7777, Refusal(725, "OnlyPermanentLeasesSupported")}},
         RouterState::Mapped, forwards("203.0.113.7", 7777), {"7777 7777", "7777 7777"}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mapper m;
        m.script->found = c.found;
        m.script->externalAddress = c.external;
        m.script->addResults = c.addResults;
        EXPECT_EQ(m.mapper.Open(7777), c.state);
        const reverse_proxy::RouterLine line = m.mapper.Snapshot();
        EXPECT_EQ(line.state, c.state);
        EXPECT_EQ(line.text, c.text);
        EXPECT_EQ(m.adds(), c.adds);
        EXPECT_EQ(m.mapper.RenewAfter(), c.renewAfter);
        ASSERT_FALSE(m.log.empty());
        EXPECT_EQ(m.log.back().message, c.text) << "the status log says what the line says";
        EXPECT_EQ(m.log.back().level, c.state == RouterState::Mapped    ? LogLevel::Success
                                      : c.state == RouterState::Refused ? LogLevel::Error
                                                                        : LogLevel::Warning);
        if (c.state == RouterState::Mapped) {
            EXPECT_EQ(line.directAddress, c.text.substr(c.text.rfind(' ') + 1));
            // Our mapping names this PC's LAN address and ourselves, with the lease asked for.
            const auto calls = m.script->Calls();
            const std::string lease = c.renewAfter ? " 3600 " : " 0 ";
            EXPECT_THAT(calls, Contains("add " + c.adds.back() + " 192.168.1.20" + lease + "Kestrel Rocket League"));
        } else {
            EXPECT_EQ(line.directAddress, "");
        }
    }
}

TEST(RouterPortMapper, ALeftoverOfOursIsReplacedAndOthersAreLeftAlone)
{
    Mapper m;
    m.script->mappings = {
        {7790, "192.168.1.20", 7777, "UDP", "Kestrel Rocket League"}, // ours, from a run that ended abruptly
        {7791, "192.168.1.30", 7777, "UDP", "Kestrel Rocket League"}, // another PC running it
        {7792, "192.168.1.20", 7777, "UDP", "Someone else"},
        {7793, "192.168.1.20", 7777, "TCP", "Kestrel Rocket League"},
    };
    ASSERT_EQ(m.mapper.Open(7777), RouterState::Mapped);
    const auto calls = m.script->Calls();
    EXPECT_THAT(calls, Contains("delete 7790"));
    for (const char* kept : {"delete 7791", "delete 7792", "delete 7793"}) EXPECT_THAT(calls, Not(Contains(kept)));
    EXPECT_LT(std::find(calls.begin(), calls.end(), "delete 7790") - calls.begin(),
              std::find_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("add", 0) == 0; }) -
                  calls.begin())
        << "the leftover goes before the new mapping is asked for";
}

TEST(RouterPortMapper, TheLeaseIsRenewedInPlaceAndALostMappingIsSaid)
{
    Mapper m;
    ASSERT_EQ(m.mapper.Open(7777), RouterState::Mapped);
    EXPECT_EQ(m.mapper.RenewAfter(), std::chrono::seconds(1800));
    const std::uint64_t before = m.mapper.MappingGeneration();
    EXPECT_TRUE(m.mapper.Renew());
    EXPECT_NE(m.mapper.MappingGeneration(), before) << "a timer set for the old lease must see it was renewed";
    EXPECT_EQ(m.adds(), (std::vector<std::string>{"7777 7777", "7777 7777"}));
    EXPECT_EQ(m.mapper.Snapshot().state, RouterState::Mapped);

    m.script->addResults[7777] = Refusal(-3, "Miniupnpc HTTP error");
    EXPECT_FALSE(m.mapper.Renew());
    EXPECT_EQ(m.mapper.Snapshot().state, RouterState::Refused);
    EXPECT_EQ(m.mapper.Snapshot().text,
              "The router stopped forwarding UDP 7777: renewing failed with error -3 (Miniupnpc HTTP error)");
    EXPECT_EQ(m.mapper.RenewAfter(), std::nullopt);
}

TEST(RouterPortMapper, CloseRemovesOnlyWhatIsHeldEvenWhenPermanent)
{
    Mapper m;
    m.mapper.Close();
    EXPECT_THAT(m.script->Calls(), Not(Contains("delete 7777"))) << "nothing held, nothing removed";

    m.script->addResults[7777] = Refusal(725, "OnlyPermanentLeasesSupported");
    ASSERT_EQ(m.mapper.Open(7777), RouterState::Mapped);
    m.mapper.Close();
    EXPECT_THAT(m.script->Calls(), Contains("delete 7777"));
    EXPECT_EQ(m.mapper.Snapshot().state, RouterState::NotAsked);
    EXPECT_EQ(m.mapper.Snapshot().directAddress, "");
    EXPECT_EQ(m.log.back().message, "Router port closed: UDP 7777 is no longer forwarded");
}

struct RouterPlugin : ReverseProxyPlugin {
    std::shared_ptr<RouterScript> script = std::make_shared<RouterScript>();
    bool unloaded = false;
    void BeforeLoad() override
    {
        plugin->makePortMapping = [this] { return std::make_unique<ScriptedPortMapping>(script); };
    }
    void TearDown() override
    {
        if (!unloaded) ReverseProxyPlugin::TearDown();
    }
};

TEST_F(RouterPlugin, TheMappingRunsOnTheWorkerAndIsRemovedAtUnload)
{
    plugin->OpenRouterPort();
    ASSERT_TRUE(idle());
    EXPECT_EQ(plugin->RouterSnapshot().state, RouterState::Mapped);
    EXPECT_THAT(host.console.lines(),
                Contains("[SUCCESS] Router forwards UDP 7777 to this PC: players join at 203.0.113.7:7777"));

    ASSERT_TRUE(host.console.type("kz router status"));
    EXPECT_THAT(host.console.lines(),
                Contains("Router: [OK] Router forwards UDP 7777 to this PC: players join at 203.0.113.7:7777"));

    plugin->onUnload();
    unloaded = true;
    EXPECT_THAT(script->Calls(), Contains("delete 7777"));
}

TEST_F(RouterPlugin, MakeReachableKeepsADirectPathAndFallsBackOtherwise)
{
    answerListWithoutProbes(R"({"servers": [{"name": "Loop", "address": "127.0.0.1"}]})");
    // A working router: no proxy is asked for.
    plugin->MakeReachable();
    ASSERT_TRUE(idle());
    EXPECT_THAT(messages(), Not(Contains("Selected Loop (latency: 0ms)")));
    EXPECT_THAT(messages(), Not(Contains("No ping results yet, using first server")));

    // Carrier-grade NAT: the line says why, and the tunnel flow runs (here it stops at the
    // missing tunnel client, which is the tunnel's own business).
    script->externalAddress = "100.72.1.2";
    plugin->firewallStatus = FirewallStatus::Ready;
    plugin->MakeReachable();
    ASSERT_TRUE(idle());
    const std::string why = "The router's internet address 100.72.1.2 is not public (carrier-grade NAT or a second "
                            "router): players cannot reach it directly";
    EXPECT_THAT(messages(), Contains("Connecting to the best proxy instead, because: " + why));
    EXPECT_THAT(messages(), Contains("No ping results yet, using first server"));
    EXPECT_THAT(script->Calls(), Contains("delete 7777")) << "the earlier mapping of ours is not left behind";
}

} // namespace
} // namespace kestrel::testing
