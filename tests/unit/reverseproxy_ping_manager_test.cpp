// The ping manager against loopback addresses and names that never resolve.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <regex>
#include <thread>

#include "fake_host.h"
#include "icmp_capability.h"
#include "plugin/logging.h"
#include "reverseproxy/ping_manager.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

using kestrel::testing::CanProbe;

struct PingManagerTest : ::testing::Test {
    kestrel::testing::FakeHost host;
    void SetUp() override { globalCvarManager = host.cvarManager; }
    void TearDown() override { globalCvarManager.reset(); }

    bool WaitForLine(const std::string& line, std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            auto lines = host.console.lines();
            if (std::find(lines.begin(), lines.end(), line) != lines.end()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // The first group of the first console line the pattern matches whole, once there is one.
    std::optional<std::string> WaitForCapture(const std::regex& pattern, std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            for (const std::string& line : host.console.lines()) {
                std::smatch match;
                if (std::regex_match(line, match, pattern)) return match[1].str();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::nullopt;
    }
};

TEST_F(PingManagerTest, RefusesNoListAnEmptyListAndASecondStart)
{
    PingManager manager;
    std::vector<ProxyServer> empty;
    EXPECT_FALSE(manager.Start(nullptr));
    EXPECT_FALSE(manager.Start(&empty));
    std::vector<ProxyServer> servers{ProxyServer("Local", "127.0.0.1", 7000, "")};
    EXPECT_TRUE(manager.Start(&servers));
    EXPECT_FALSE(manager.Start(&servers));
    manager.Stop();
    auto lines = host.console.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "No servers provided to PingManager"), 2);
    EXPECT_THAT(lines, Contains("PingManager already running"));
    EXPECT_THAT(lines, Contains("PingManager stopped"));
}

TEST_F(PingManagerTest, ProbesEveryServerAndMarksFailuresMinusOne)
{
    std::vector<ProxyServer> servers{
        ProxyServer("Loop One", "127.0.0.1", 7000, ""),
        ProxyServer("Loop Two", "localhost", 7000, ""), // a name, resolved before the probe
        ProxyServer("Nowhere", "no-such-proxy.invalid", 7000, ""),
    };
    for (const auto& server : servers) EXPECT_EQ(server.latency.load(), -1);
    PingManager manager;
    ASSERT_TRUE(manager.Start(&servers));
    EXPECT_THAT(host.console.lines(), Contains("PingManager started with 3 worker threads"));
    for (const auto& server : servers) EXPECT_TRUE(WaitForLine("Ping worker started for server: " + server.name));
    EXPECT_TRUE(WaitForLine("Ping to Nowhere (no-such-proxy.invalid) failed"));
    bool probing = CanProbe();
    if (probing) {
        // The latency is read from the line, not the record: the record may not hold it yet, and
        // a later probe may change it.
        const auto latency = WaitForCapture(std::regex(R"(Ping to Loop One \(127\.0\.0\.1\): ([0-9]+)ms)"));
        ASSERT_TRUE(latency.has_value());
        EXPECT_GE(std::stoi(*latency), 0);
    } else {
        EXPECT_TRUE(WaitForLine("Ping to Loop One (127.0.0.1) failed"));
    }
    auto started = std::chrono::steady_clock::now();
    manager.Stop();
    auto took = std::chrono::steady_clock::now() - started;
    // A worker in its pause leaves within one 100 ms step; one in a probe after at most the
    // probe's 1000 ms: far below the five-second pause.
    EXPECT_LT(took, std::chrono::milliseconds(2500));
    if (probing) {
        EXPECT_GE(servers[0].latency.load(), 0);
    } else {
        EXPECT_EQ(servers[0].latency.load(), -1);
    }
    EXPECT_EQ(servers[2].latency.load(), -1);
    for (const auto& server : servers) EXPECT_THAT(host.console.lines(), Contains("Ping worker stopped for server: " + server.name));
}

TEST_F(PingManagerTest, ALongListGetsWorkersForItsFirstServersOnly)
{
    std::vector<ProxyServer> servers;
    for (int i = 1; i <= 20000; ++i) servers.emplace_back("S" + std::to_string(i), "127.0.0.1", 7000, "");
    PingManager manager;
    ASSERT_TRUE(manager.Start(&servers));
    EXPECT_THAT(host.console.lines(), Contains("PingManager started with 32 worker threads"));
    manager.Stop();
    const auto lines = host.console.lines();
    const auto stopped = std::count_if(lines.begin(), lines.end(),
                                       [](const std::string& line) { return line.rfind("Ping worker stopped for server: ", 0) == 0; });
    EXPECT_EQ(stopped, 32);
    EXPECT_THAT(lines, Contains("Ping worker stopped for server: S32"));
    EXPECT_THAT(lines, ::testing::Not(Contains("Ping worker stopped for server: S33")));
}

TEST_F(PingManagerTest, StopOnAStoppedManagerIsSilentAndItStartsAgain)
{
    PingManager manager;
    manager.Stop();
    EXPECT_TRUE(host.console.lines().empty());
    std::vector<ProxyServer> servers{ProxyServer("Nowhere", "no-such-proxy.invalid", 7000, "")};
    for (int round = 0; round < 2; ++round) {
        host.console.clearLines();
        ASSERT_TRUE(manager.Start(&servers));
        EXPECT_TRUE(WaitForLine("Ping to Nowhere (no-such-proxy.invalid) failed"));
        manager.Stop();
        EXPECT_THAT(host.console.lines(), Contains("PingManager stopped"));
    }
}

TEST_F(PingManagerTest, DestroyingARunningManagerStopsItsWorkers)
{
    std::vector<ProxyServer> servers{ProxyServer("Loop", "127.0.0.1", 7000, "")};
    {
        PingManager manager;
        ASSERT_TRUE(manager.Start(&servers));
        EXPECT_TRUE(WaitForLine("Ping worker started for server: Loop"));
    }
    EXPECT_THAT(host.console.lines(), Contains("Ping worker stopped for server: Loop"));
    EXPECT_THAT(host.console.lines(), Contains("PingManager stopped"));
}

} // namespace
