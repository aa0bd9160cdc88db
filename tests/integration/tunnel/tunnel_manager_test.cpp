// The tunnel client manager against the demo services and their tunnel servers: download the
// client, start a tunnel to the token proxy, reach the development host's listen server
// through it, and end the client with the manager.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <regex>

#include "fake_host.h"
#include "platform/child_process.h"
#include "plugin/logging.h"
#include "process_probe.h"
#include "reverseproxy/frp_client_manager.h"
#include "sim/listen_socket.h"
#include "udp_peer.h"

namespace {

namespace fs = std::filesystem;

struct Lines {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;
    std::function<void(const std::string&)> Sink()
    {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
            changed.notify_all();
        };
    }
    // The first line matching pattern, waiting for it.
    std::optional<std::smatch> Wait(const std::regex& pattern, std::string& holder)
    {
        std::unique_lock lock(mutex);
        std::optional<std::smatch> found;
        changed.wait_for(lock, std::chrono::seconds(10), [&] {
            for (const auto& line : lines) {
                holder = line;
                std::smatch match;
                if (std::regex_search(holder, match, pattern)) {
                    found = match;
                    return true;
                }
            }
            return false;
        });
        return found;
    }
};

TEST(TunnelThroughDemoServices, ReachesTheListenServerAndEndsWithTheManager)
{
    kestrel::testing::FakeHost host;
    globalCvarManager = host.cvarManager;
    fs::path root = fs::temp_directory_path() / ("kestrel-e2e-" + std::to_string(std::random_device{}()));
    fs::create_directories(root);
    setenv("KESTREL_APPDATA", (root / "appdata").c_str(), 1);
    setenv("KESTREL_TEMP", (root / "temp").c_str(), 1);

    // A public range of its own, so parallel runs do not hand out each other's ports.
    int low = 20000 + static_cast<int>(std::random_device{}() % 20000);
    Lines services;
    int error = 0;
    auto demo = platform::ChildProcess::Start(KESTREL_DEMO_SERVICES_PATH,
                                              {"--port", "0", "--tunnel-ports", "0", "--data-dir", (root / "demo").string(),
                                               "--public-ports", std::to_string(low) + "-" + std::to_string(low + 200)},
                                              nullptr, {services.Sink(), {}}, error);
    ASSERT_TRUE(demo) << error;
    std::string line;
    auto listening = services.Wait(std::regex("listening on (http://[0-9.:]+)"), line);
    ASSERT_TRUE(listening);
    std::string baseUrl = (*listening)[1];
    auto tokenProxy = services.Wait(std::regex("\"Demo Proxy Token\" on 127\\.0\\.0\\.2:([0-9]+)"), line);
    ASSERT_TRUE(tokenProxy);
    int tunnelPort = std::stoi((*tokenProxy)[1]);

    devhost::ListenSocket listenServer;
    int listenPort = 0;
    for (int attempt = 0; attempt < 20 && listenPort == 0; ++attempt) {
        int candidate = 40000 + static_cast<int>(std::random_device{}() % 20000);
        if (listenServer.open("127.0.0.1", candidate).empty()) listenPort = candidate;
    }
    ASSERT_NE(listenPort, 0);

    std::uint32_t clientPid = 0;
    {
        Lines client;
        FRPClientManager manager;
        manager.SetPortServiceUrl(baseUrl);
        EXPECT_FALSE(FRPClientManager::IsFrpcAvailable());
        ASSERT_TRUE(manager.DownloadFrpc(baseUrl + "/reverseproxy/frpc.exe")) << manager.GetLastError();
        ASSERT_TRUE(manager.Initialize()) << manager.GetLastError();
        manager.SetProcessCallbacks({client.Sink(), {}});
        ASSERT_TRUE(manager.Start(ProxyServer("Demo Proxy Token", "127.0.0.2", tunnelPort, "kestrel-demo-token"), listenPort))
            << manager.GetLastError();
        clientPid = manager.GetProcessId();
        ASSERT_TRUE(client.Wait(std::regex("\\[rocket-league-server\\] start proxy success"), line));
        int remotePort = manager.GetRemotePort();
        EXPECT_GE(remotePort, low);
        EXPECT_LE(remotePort, low + 200);

        UdpPeer player;
        player.SendTo("127.0.0.2", remotePort, "hello listen server");
        EXPECT_EQ(player.Receive(5000), "hello listen server"); // the listen server answers with the same bytes
    }
    EXPECT_TRUE(kestrel::testing::WaitProcessGone(clientPid));
    EXPECT_EQ(listenServer.close(), 1u);

    demo.reset();
    globalCvarManager.reset();
    unsetenv("KESTREL_APPDATA");
    unsetenv("KESTREL_TEMP");
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

} // namespace
