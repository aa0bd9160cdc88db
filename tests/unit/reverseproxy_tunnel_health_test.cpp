// The tunnel counts as connected only once the client reports its proxy, and a client that
// fails, exits or dies later turns the state to Error with its reason. The client here is a
// small script in the tunnel client's place, the port service a loopback server.
#ifndef _WIN32
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <httplib.h>
#include <imgui.h>

#include <csignal>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "reverse_proxy_fixture.h"

namespace kestrel::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

const std::string oneServer = R"({"servers": [{"name": "Loop", "address": "127.0.0.1", "port": 7000}]})";

struct TunnelHealth : ReverseProxyPlugin {
    httplib::Server portService;
    std::thread portThread;
    int portServicePort = 0;
    bool listAnswered = false;

    void BeforeLoad() override
    {
        portService.Get("/get-port", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"port": 47950})", "application/json");
        });
        portServicePort = portService.bind_to_any_port("127.0.0.1");
        ASSERT_GT(portServicePort, 0);
        portThread = std::thread([this] { portService.listen_after_bind(); });
        setenv("KESTREL_PORT_SERVICE_HOST", ("http://127.0.0.1:" + std::to_string(portServicePort)).c_str(), 1);
        plugin->tunnelConfirmTimeout = 1500ms;
    }
    void TearDown() override
    {
        ReverseProxyPlugin::TearDown();
        portService.stop();
        if (portThread.joinable()) {
            portThread.join();
        }
        unsetenv("KESTREL_PORT_SERVICE_HOST");
    }
    void installClient(const std::string& body)
    {
        std::filesystem::create_directories(folders.frpcPath().parent_path());
        {
            std::ofstream script(folders.frpcPath());
            script << "#!/bin/sh\n" << body << "\n";
        }
        std::filesystem::permissions(folders.frpcPath(), std::filesystem::perms::owner_all);
    }
    // Connects and waits until the state leaves Connecting (or the time runs out).
    ConnectionStatus connectAndSettle(std::chrono::milliseconds within = 8s)
    {
        if (!listAnswered) {
            answerListWithoutProbes(oneServer);
            listAnswered = true;
        }
        plugin->ConnectToServer(0);
        EXPECT_TRUE(idle());
        const auto until = std::chrono::steady_clock::now() + within;
        while (plugin->connectionStatus == ConnectionStatus::Connecting && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_TRUE(idle());
        return plugin->connectionStatus.load();
    }
    bool waitForStatus(ConnectionStatus status, std::chrono::milliseconds within = 5s)
    {
        const auto until = std::chrono::steady_clock::now() + within;
        while (plugin->connectionStatus != status && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(10ms);
        }
        return plugin->connectionStatus == status && idle();
    }
};

const char* proxyStarted = "echo '2026-12-08 20:00:00 [I] [rocket-league-server] start proxy success'";

struct FailureCase {
    const char* what;
    std::string script;
    std::string reason;
};

TEST_F(TunnelHealth, AClientThatNeverGetsItsProxyIsAnErrorWithItsReason)
{
    const FailureCase cases[] = {
        {"exits at once", "exit 3", "Failed to connect: Tunnel client exited (code 3)"},
        {"proxy refused", "echo '[W] [rocket-league-server] start error: port already used'\nexec sleep 30",
         "Failed to connect: [rocket-league-server] start error: port already used"},
        {"login refused", "echo '[E] login to the server failed: authorization failed'\nexec sleep 30",
         "Failed to connect: login to the server failed: authorization failed"},
        {"never confirms", "exec sleep 30", "Failed to connect: Tunnel client did not report its proxy within 1.5 s"},
    };
    for (const FailureCase& c : cases) {
        installClient(c.script);
        ASSERT_TRUE(plugin->frpClientManager);
        EXPECT_EQ(connectAndSettle(), ConnectionStatus::Error) << c.what;
        EXPECT_THAT(messages(), Contains(c.reason)) << c.what;
        EXPECT_THAT(messages(), ::testing::Not(Contains("Connected to Loop"))) << c.what;
        EXPECT_FALSE(plugin->frpClientManager->IsRunning()) << c.what;
        EXPECT_EQ(plugin->ConnectionSnapshot().second, 0);
        plugin->DisconnectFromServer();
        ASSERT_TRUE(idle());
    }
}

TEST_F(TunnelHealth, ConnectedOnlyAfterTheProxyStartedAndLostWhenTheClientDies)
{
    installClient(std::string(proxyStarted) + "\nexec sleep 30");
    ASSERT_EQ(connectAndSettle(), ConnectionStatus::Connected);
    EXPECT_THAT(messages(), Contains("Connecting to Loop..."));
    EXPECT_THAT(messages(), Contains("Connected to Loop"));
    EXPECT_EQ(plugin->ConnectionSnapshot(), (std::pair<std::string, std::int32_t>{"127.0.0.1", 47950}));
    EXPECT_TRUE(plugin->ProxyServersSnapshot()[0].isConnected);
    EXPECT_EQ(host.cvarManager->getCvar("rp_selected_server").getIntValue(), 0);

    const auto pid = plugin->frpClientManager->GetProcessId();
    ASSERT_GT(pid, 0u);
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    ASSERT_TRUE(waitForStatus(ConnectionStatus::Error, 3s));
    bool lost = false;
    for (const std::string& message : messages()) {
        lost = lost || message.rfind("Tunnel lost: Tunnel client exited (code ", 0) == 0;
    }
    EXPECT_TRUE(lost);
    EXPECT_FALSE(plugin->ProxyServersSnapshot()[0].isConnected);

    // A disconnect clears the error; connecting again works.
    plugin->DisconnectFromServer();
    ASSERT_TRUE(idle());
    EXPECT_EQ(plugin->connectionStatus.load(), ConnectionStatus::Disconnected);
    EXPECT_EQ(connectAndSettle(), ConnectionStatus::Connected);
}

TEST_F(TunnelHealth, ConnectingIsRefusedWhileADownloadRuns)
{
    installClient(std::string(proxyStarted) + "\nexec sleep 30");
    answerListWithoutProbes(oneServer);
    plugin->isDownloading = true;
    plugin->ConnectToServer(0);
    ASSERT_TRUE(idle());
    plugin->isDownloading = false;
    EXPECT_THAT(messages(), Contains("Download in progress"));
    EXPECT_EQ(plugin->connectionStatus.load(), ConnectionStatus::Disconnected);
}

// A port service that takes the connection and never answers.
class SilentService {
public:
    SilentService()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd, 8);
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~SilentService() { close(); }
    void close()
    {
        if (fd >= 0) {
            ::close(fd); // the waiting connection is reset, so the request ends
            fd = -1;
        }
    }
    int fd = -1;
    int port = 0;
};

struct SilentPortService : TunnelHealth {
    SilentService silent;
    void BeforeLoad() override
    {
        TunnelHealth::BeforeLoad();
        setenv("KESTREL_PORT_SERVICE_HOST", ("http://127.0.0.1:" + std::to_string(silent.port)).c_str(), 1);
    }
    void TearDown() override
    {
        silent.close();
        TunnelHealth::TearDown();
    }
};

TEST_F(SilentPortService, FramesKeepCompletingWhileTheConnectWaits)
{
    installClient(std::string(proxyStarted) + "\nexec sleep 30");
    answerListWithoutProbes(oneServer);
    plugin->firewallStatus = FirewallStatus::Ready;

    ImGuiContext* context = ImGui::CreateContext();
    ImGui::SetCurrentContext(context);
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(1280, 800);
    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);

    plugin->ConnectToServer(0);
    std::chrono::steady_clock::duration longest{};
    int frames = 0;
    const auto until = std::chrono::steady_clock::now() + 1s;
    while (std::chrono::steady_clock::now() < until) {
        const auto start = std::chrono::steady_clock::now();
        io.DeltaTime = 1.0f / 60.0f;
        ImGui::NewFrame();
        ImGui::Begin("Reverse Proxy");
        plugin->RenderReverseProxyPanel();
        ImGui::End();
        ImGui::Render();
        longest = std::max(longest, std::chrono::steady_clock::now() - start);
        ++frames;
    }
    ImGui::DestroyContext(context);
    // Still waiting on the service, and the frames never did.
    EXPECT_TRUE(plugin->ReverseProxyBusy());
    EXPECT_EQ(plugin->DisplayedConnectionStatus(), ConnectionStatus::Connecting);
    EXPECT_GT(frames, 20);
    EXPECT_LT(longest, 250ms);
}

} // namespace
} // namespace kestrel::testing
#endif
