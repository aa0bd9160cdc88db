// The stand-in tunnel client and server: login, proxy start and datagrams both ways on loopback.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>

#include "platform/child_process.h"
#include "process_probe.h"
#include "tunnel_server.h"
#include "udp_peer.h"

namespace {

namespace fs = std::filesystem;

struct Client {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;
    std::optional<int> exitCode;
    std::unique_ptr<platform::ChildProcess> process;

    void Start(const fs::path& config)
    {
        int error = 0;
        process = platform::ChildProcess::Start(KESTREL_TUNNEL_CLIENT_PATH, {"-c", config.string()}, nullptr,
                                                {[this](const std::string& line) {
                                                     std::lock_guard lock(mutex);
                                                     lines.push_back(line);
                                                     changed.notify_all();
                                                 },
                                                 [this](int code) {
                                                     std::lock_guard lock(mutex);
                                                     exitCode = code;
                                                     changed.notify_all();
                                                 }},
                                                error);
        ASSERT_TRUE(process) << error;
    }
    bool WaitLine(const std::string& ending, int count = 1)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] {
            int seen = 0;
            for (const auto& line : lines) {
                if (line.size() >= ending.size() && line.compare(line.size() - ending.size(), ending.size(), ending) == 0)
                    ++seen;
            }
            return seen >= count;
        });
    }
    std::optional<int> WaitExit()
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return exitCode.has_value(); });
        return exitCode;
    }
};

struct StandIns : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("kestrel-tunnel-" + std::to_string(std::random_device{}()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    fs::path Config(const std::string& text)
    {
        auto path = dir / "frpc_config.toml";
        std::ofstream(path) << text;
        return path;
    }
    static std::string ConfigText(int serverPort, const std::string& token, int localPort, int remotePort)
    {
        return "serverAddr = \"127.0.0.1\"\nserverPort = " + std::to_string(serverPort) + "\n" +
               (token.empty() ? "" : "auth.token = \"" + token + "\"\n") +
               "\n[[proxies]]\nname = \"rocket-league-server\"\ntype = \"udp\"\nlocalIP = \"127.0.0.1\"\nlocalPort = " +
               std::to_string(localPort) + "\nremotePort = " + std::to_string(remotePort) + "\n\n";
    }
    static int FreeUdpPort()
    {
        UdpPeer probe;
        return probe.Bind("127.0.0.1", 0);
    }
};

TEST_F(StandIns, CarryADatagramToTheLocalServerAndItsAnswerBack)
{
    tunnel::TunnelServer server("127.0.0.1", 0, "secret");
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    UdpPeer local;
    int localPort = local.Bind("127.0.0.1", 0);
    int remotePort = FreeUdpPort();
    Client client;
    client.Start(Config(ConfigText(server.Port(), "secret", localPort, remotePort)));
    ASSERT_TRUE(client.WaitLine("login to server success"));
    ASSERT_TRUE(client.WaitLine("[rocket-league-server] start proxy success"));

    UdpPeer player;
    player.SendTo("127.0.0.1", remotePort, "ping from a player");
    sockaddr_in from{};
    EXPECT_EQ(local.Receive(5000, &from), "ping from a player");
    sendto(local.fd, "answer", 6, 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
    EXPECT_EQ(player.Receive(5000), "answer");
}

TEST_F(StandIns, AWrongTokenEndsTheClientWithStatusOne)
{
    tunnel::TunnelServer server("127.0.0.1", 0, "secret");
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    Client client;
    client.Start(Config(ConfigText(server.Port(), "guess", FreeUdpPort(), FreeUdpPort())));
    EXPECT_EQ(client.WaitExit(), 1);
    EXPECT_TRUE(client.WaitLine("login to the server failed: token in login doesn't match token from configuration. "
                                "With loginFailExit enabled, no additional retries will be attempted"));
}

TEST_F(StandIns, ATakenRemotePortIsReportedAndRetriedWhileTheClientRuns)
{
    tunnel::TunnelServer server("127.0.0.1", 0, "");
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    UdpPeer squatter;
    int remotePort = squatter.Bind("127.0.0.1", 0);
    Client client;
    client.Start(Config(ConfigText(server.Port(), "", FreeUdpPort(), remotePort)));
    EXPECT_TRUE(client.WaitLine("[rocket-league-server] start error: port already used", 2));
    EXPECT_TRUE(client.process->IsRunning());
}

TEST_F(StandIns, AConfigurationTheRealClientRefusesEndsItWithStatusOne)
{
    const std::string base = ConfigText(7000, "", 7777, 47900);
    const std::pair<std::string, std::string> cases[] = {
        {base + "extra = 1\n", "unknown field \"proxies.extra\""},
        {"color = \"red\"\n" + base, "unknown field \"color\""},
        {"serverPort = \"7000\"\n", "serverPort: must be an integer from 0 to 65535"},
        {"serverAddr = \"unterminated\n", "load config file error"},
        // U+03FB where white space may stand: refused before the TOML library meets it.
        {"\xcf\xbb", "outside a string or comment that TOML does not allow (line 1)"},
        {"# caf\xc3\xa9\nserverAddr = \"caf\xc3\xa9\"\n\xcf\xbb", "(line 3)"},
    };
    for (const auto& [text, message] : cases) {
        Client client;
        client.Start(Config(text));
        EXPECT_EQ(client.WaitExit(), 1) << text;
        std::lock_guard lock(client.mutex);
        ASSERT_FALSE(client.lines.empty()) << text;
        EXPECT_THAT(client.lines[0], ::testing::HasSubstr(message)) << text;
    }
}

} // namespace
