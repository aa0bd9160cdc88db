// The reachability self-test against the stand-in tunnel on loopback: a server that relays,
// one that drops, a server that is gone, and a local port the game already holds.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>

#include "platform/child_process.h"
#include "reverseproxy/reachability.h"
#include "tunnel_server.h"
#include "udp_peer.h"

namespace {

namespace fs = std::filesystem;
using Kind = reverse_proxy::ReachabilityOutcome::Kind;
using namespace std::chrono_literals;

int FreeUdpPort()
{
    UdpPeer probe;
    return probe.Bind("127.0.0.1", 0);
}

// A tunnel server and a stand-in client whose proxy is up.
struct Tunnel : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("kestrel-reach-" + std::to_string(std::random_device{}()));
    tunnel::TunnelServer server{"127.0.0.1", 0, ""};
    std::unique_ptr<platform::ChildProcess> client;
    std::mutex mutex;
    std::condition_variable changed;
    bool proxyStarted = false;
    int localPort = FreeUdpPort();
    int remotePort = FreeUdpPort();

    void SetUp() override
    {
        fs::create_directories(dir);
        std::string error;
        ASSERT_TRUE(server.Start(error)) << error;
        const fs::path config = dir / "frpc_config.toml";
        std::ofstream(config) << "serverAddr = \"127.0.0.1\"\nserverPort = " << server.Port()
                              << "\n\n[[proxies]]\nname = \"rocket-league-server\"\ntype = \"udp\"\n"
                                 "localIP = \"127.0.0.1\"\nlocalPort = "
                              << localPort << "\nremotePort = " << remotePort << "\n";
        int startError = 0;
        client = platform::ChildProcess::Start(
            KESTREL_TUNNEL_CLIENT_PATH, {"-c", config.string()}, nullptr,
            {[this](const std::string& line) {
                 std::lock_guard lock(mutex);
                 if (line.find("start proxy success") != std::string::npos) proxyStarted = true;
                 changed.notify_all();
             },
             {}},
            startError);
        ASSERT_TRUE(client) << startError;
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return proxyStarted; }));
    }
    void TearDown() override
    {
        client.reset();
        server.Stop();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    reverse_proxy::ReachabilityProbe Probe(std::chrono::milliseconds wait = 2000ms) const
    {
        reverse_proxy::ReachabilityProbe probe;
        probe.publicAddress = "127.0.0.1";
        probe.publicPort = remotePort;
        probe.localPort = localPort;
        probe.wait = wait;
        return probe;
    }
};

TEST_F(Tunnel, ARelayingServerBringsTheNonceBack)
{
    const auto probe = Probe();
    const auto outcome = reverse_proxy::ProbeReachability(probe);
    ASSERT_EQ(outcome.kind, Kind::Reachable) << outcome.detail;
    EXPECT_LT(outcome.milliseconds, 2000);
    const auto report = reverse_proxy::ReachabilityReport(probe, outcome);
    EXPECT_EQ(report.message, "Reachable from the internet at 127.0.0.1:" + std::to_string(remotePort) + " (" +
                                  std::to_string(outcome.milliseconds) + " ms)");
    EXPECT_EQ(report.level, LogLevel::Success);
    // The port is given back: a second test (or the game) can bind it again.
    EXPECT_EQ(reverse_proxy::ProbeReachability(probe).kind, Kind::Reachable);
}

TEST_F(Tunnel, ADroppingOrStoppedServerIsNotReachableAfterTheWait)
{
    server.SetRelaying(false);
    const auto probe = Probe();
    const auto started = std::chrono::steady_clock::now();
    const auto outcome = reverse_proxy::ProbeReachability(probe);
    EXPECT_GE(std::chrono::steady_clock::now() - started, 2000ms);
    ASSERT_EQ(outcome.kind, Kind::NotReachable) << outcome.detail;
    const auto report = reverse_proxy::ReachabilityReport(probe, outcome);
    EXPECT_EQ(report.message,
              "Not reachable at 127.0.0.1:" + std::to_string(remotePort) + ": nothing arrived within 2 s");
    EXPECT_EQ(report.level, LogLevel::Error);

    server.SetRelaying(true);
    server.Stop();
    EXPECT_EQ(reverse_proxy::ProbeReachability(Probe(500ms)).kind, Kind::NotReachable);
}

TEST_F(Tunnel, APortTheGameHoldsIsReportedAndLeftAlone)
{
    UdpPeer game;
    ASSERT_EQ(game.Bind("127.0.0.1", localPort), localPort);
    auto probe = Probe();
    const auto outcome = reverse_proxy::ProbeReachability(probe);
    ASSERT_EQ(outcome.kind, Kind::PortInUse);
    const auto report = reverse_proxy::ReachabilityReport(probe, outcome);
    EXPECT_EQ(report.message, "Port " + std::to_string(localPort) +
                                  " is in use by the game: the tunnel carries its traffic; stop hosting to run the test");
    EXPECT_EQ(report.level, LogLevel::Warning);
    // Nothing was sent: the game's socket got no stray datagram.
    EXPECT_FALSE(game.Receive(300).has_value());
}

TEST(Reachability, TestsThatCannotRunSayWhy)
{
    struct Case {
        std::string address;
        int publicPort;
        int localPort;
        std::string message;
    };
    const Case cases[] = {
        {"", 47900, 7777, "Reachability test failed: the tunnel has no public address yet"},
        {"127.0.0.1", 0, 7777, "Reachability test failed: the tunnel has no public address yet"},
        {"127.0.0.1", 47900, 70000, "Reachability test failed: local port 70000 is out of range"},
        {"no-such-host.invalid", 47900, FreeUdpPort(), "Reachability test failed: cannot resolve no-such-host.invalid"},
    };
    for (const Case& c : cases) {
        reverse_proxy::ReachabilityProbe probe;
        probe.publicAddress = c.address;
        probe.publicPort = c.publicPort;
        probe.localPort = c.localPort;
        const auto outcome = reverse_proxy::ProbeReachability(probe);
        EXPECT_EQ(reverse_proxy::ReachabilityReport(probe, outcome).message, c.message) << c.address;
    }
}

} // namespace
