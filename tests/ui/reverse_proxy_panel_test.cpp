// The "Reverse Proxy" window clicked through as a player would: popups, firewall buttons, the
// proxy list, the download prompt, the guide windows and the status log's scrolling.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <imgui_internal.h>

#ifndef _WIN32
#include <httplib.h>

#include <fstream>
#endif

#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "platform/udp_socket.h"
#include "reverse_proxy_fixture.h"
#include "scripted_port_mapping.h"
#include "ui_fixtures.h"
#include "ui_path.h"

namespace kestrel::testing {
namespace {

using ::testing::Contains;
using ::testing::Not;
using namespace std::chrono_literals;

constexpr const char* panelWindow = "Reverse Proxy";

struct Panel : OpenMenu {
    ReverseProxyFolders folders;

    void SetUp() override
    {
        OpenMenu::SetUp();
        ASSERT_TRUE(plugin->WaitForReverseProxyIdle(20s));
        ui.click(ui::JoinIdPath({mainWindow, "Tabs", "Host Lan"}));
        ASSERT_TRUE(ui.frameUntil([&] { return ui.windowShown(panelWindow); }));
        ui.placeWindow(panelWindow, ImVec2(820, 10));
        ImGui::SetCurrentContext(ui.context());
        ImGui::SetWindowSize(panelWindow, ImVec2(760, 640)); // room for the whole status line
        answerList(R"({"servers": [{"name": "Near", "address": "127.0.0.1"}, {"name": "Mid", "address": "127.0.0.2"},
                                   {"name": "Far", "address": "127.0.0.3"}, {"name": "Edge", "address": "127.0.0.4"},
                                   {"name": "Silent", "address": "127.0.0.5"}]})");
        ui.frames(2);
    }
    void TearDown() override { plugin->onUnload(); }

    void answerList(const std::string& body)
    {
        ASSERT_TRUE(host.http->waitForRequests(1));
        const auto requests = host.http->requests();
        for (size_t i = 0; i < requests.size(); ++i) {
            if (requests[i].request.url.find("/proxy") != std::string::npos) {
                host.http->respond(i, 200, body);
            }
        }
        // Latencies are the test's: the probes stop.
        if (plugin->pingManager) {
            plugin->pingManager->Stop();
        }
    }
    std::string item(const std::string& label) { return ui::JoinIdPath({panelWindow, label}); }
    void click(const std::string& label)
    {
        ui.click(item(label));
        ui.frames(2);
    }
    std::vector<std::string> messages() const
    {
        std::vector<std::string> out;
        for (const StatusLogEntry& entry : plugin->StatusLogSnapshot()) {
            out.push_back(entry.message);
        }
        return out;
    }
    bool popupShown(const char* name) { return ui.textShown(name) && ui.windowShown(name); }
};

TEST_F(Panel, WithoutTheFirewallRuleNothingConnectsAndThePopupSaysWhy)
{
    struct Case {
        FirewallStatus status;
        const char* firstLine;
    };
    const Case cases[] = {
        {FirewallStatus::NeedsAdmin, "Please click the 'Create Firewall Rule'"},
        {FirewallStatus::Error, "There was an error with the firewall configuration."},
        {FirewallStatus::Checking, "The firewall is not properly configured."},
    };
    for (const Case& c : cases) {
        for (const std::string& target : {std::string("##server1"), std::string("Connect to Best Server")}) {
            plugin->firewallStatus = c.status;
            const size_t before = host.console.lines().size();
            click(target);
            ASSERT_TRUE(ui.windowShown("Firewall Not Ready")) << target;
            EXPECT_TRUE(ui.textShown("Cannot Connect to Server"));
            EXPECT_TRUE(ui.textShown(c.firstLine)) << c.firstLine;
            ui.click(ui::JoinIdPath({"Firewall Not Ready", "OK"}));
            ui.frames(2);
            EXPECT_FALSE(ui.windowShown("Firewall Not Ready"));
            ASSERT_TRUE(plugin->WaitForReverseProxyIdle(5s));
            const auto lines = host.console.lines();
            EXPECT_EQ(lines.size(), before) << "something was started by " << target;
        }
    }
}

TEST_F(Panel, FirewallButtonsFollowTheStateAndRemovalWaitsForADisconnect)
{
    plugin->firewallStatus = FirewallStatus::NeedsAdmin;
    ui.frames(2);
    EXPECT_TRUE(ui.itemShown(item("Create Firewall Rule")));
    EXPECT_FALSE(ui.itemShown(item("Remove Firewall Rule")));
    EXPECT_TRUE(ui.textShown("[!] Needs Admin to Create Rule"));
    ui.moveMouse(ui.get(item("Create Firewall Rule")).rect.GetCenter());
    ui.frames(2);
    EXPECT_TRUE(ui.textShown("Click to create firewall rule with admin privileges (UAC prompt will appear)"));

    plugin->firewallStatus = FirewallStatus::Error;
    ui.frames(2);
    EXPECT_FALSE(ui.itemShown(item("Create Firewall Rule")));
    EXPECT_FALSE(ui.itemShown(item("Remove Firewall Rule")));
    EXPECT_TRUE(ui.textShown("[X] Firewall Error"));

    plugin->firewallStatus = FirewallStatus::Ready;
    plugin->connectionStatus = ConnectionStatus::Connected;
    ui.frames(2);
    EXPECT_TRUE(ui.textShown("[OK] Port 7777 Open"));
    click("Remove Firewall Rule");
    EXPECT_TRUE(ui.windowShown("Cannot Remove Firewall Rule"));
    EXPECT_TRUE(ui.textShown("Please click the 'Disconnect' button and try again."));
    ASSERT_TRUE(plugin->WaitForReverseProxyIdle(5s));
    EXPECT_THAT(messages(), Not(Contains("Requesting admin permission to remove firewall rule...")));
    EXPECT_EQ(plugin->firewallStatus.load(), FirewallStatus::Ready);
    ui.click(ui::JoinIdPath({"Cannot Remove Firewall Rule", "OK"}));
    ui.frames(2);
    EXPECT_FALSE(ui.windowShown("Cannot Remove Firewall Rule"));
    plugin->connectionStatus = ConnectionStatus::Disconnected;
}

TEST_F(Panel, ListsServersWithTheirLatency)
{
    const std::pair<int, const char*> latencies[] = {{49, "49ms"}, {50, "50ms"}, {99, "99ms"}, {100, "100ms"}, {-1, "---"}};
    for (size_t i = 0; i < std::size(latencies); ++i) {
        plugin->proxyServers[i].latency = latencies[i].first;
    }
    ui.frames(2);
    for (const char* name : {"Near", "Mid", "Far", "Edge", "Silent"}) {
        EXPECT_TRUE(ui.textShown(name, panelWindow)) << name;
    }
    for (const auto& [latency, text] : latencies) {
        EXPECT_TRUE(ui.textShown(text, panelWindow)) << text;
    }
    EXPECT_TRUE(ui.textShown("Status: ", panelWindow));
    EXPECT_TRUE(ui.textShown("[*] Disconnected", panelWindow));
    EXPECT_TRUE(ui.itemShown(item("##server4")));
}

TEST_F(Panel, TheDownloadPromptWaitsWhileADownloadRuns)
{
    plugin->isDownloading = true;
    plugin->showDownloadPrompt = true;
    ui.frames(3);
    EXPECT_FALSE(ui.windowShown("Download frpc.exe"));
    EXPECT_TRUE(ui.textShown("Downloading frpc.exe, please wait...", panelWindow));

    plugin->isDownloading = false;
    ui.frames(3);
    ASSERT_TRUE(ui.windowShown("Download frpc.exe"));
    EXPECT_TRUE(ui.textShown("frpc.exe was not detected."));
    EXPECT_TRUE(ui.textShown("Source: " + plugin->frpcDownloadUrl));
    ui.click(ui::JoinIdPath({"Download frpc.exe", "No, Cancel"}));
    ui.frames(2);
    EXPECT_FALSE(ui.windowShown("Download frpc.exe"));
    EXPECT_FALSE(plugin->showDownloadPrompt.load());
    EXPECT_THAT(messages(), Contains("Download cancelled"));
}

TEST_F(Panel, SetupGuideAndConnectionHelpOpenAndClose)
{
    click("Setup");
    ASSERT_TRUE(ui.windowShown("Reverse Proxy Setup Guide"));
    const auto rect = ui.windowRect("Reverse Proxy Setup Guide");
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->GetWidth(), 600.0f);
    EXPECT_EQ(rect->GetHeight(), 500.0f);
    EXPECT_TRUE(ui.textShown("What is Reverse Proxy?"));
    EXPECT_TRUE(ui.textShown("Step 4: Share Your Server"));
    ui.click(ui::JoinIdPath({"Reverse Proxy Setup Guide", "Close"}));
    ui.frames(2);
    EXPECT_FALSE(ui.windowShown("Reverse Proxy Setup Guide"));

    {
        std::lock_guard<std::mutex> lock(plugin->connectionMutex);
        plugin->connectedAddress = "proxy.example.org";
        plugin->connectedPort = 47901;
    }
    plugin->connectionStatus = ConnectionStatus::Connected;
    ui.frames(2);
    EXPECT_TRUE(ui.textShown("proxy.example.org:47901", panelWindow));
    EXPECT_TRUE(ui.itemShown(item("Disconnect")));
    click("Help");
    ASSERT_TRUE(ui.windowShown("Reverse Proxy Connection Help"));
    EXPECT_TRUE(ui.textShown("Connection Successful!"));
    EXPECT_TRUE(ui.textShown("IP Address: proxy.example.org"));
    EXPECT_TRUE(ui.textShown("Port: 47901"));
    EXPECT_TRUE(ui.textShown("Players with Kestrel: Active Server List -> Join Address, paste the")); // wrapped
    ui.click(ui::JoinIdPath({"Reverse Proxy Connection Help", "Close"}));
    ui.frames(2);
    EXPECT_FALSE(ui.windowShown("Reverse Proxy Connection Help"));
    plugin->connectionStatus = ConnectionStatus::Disconnected;
}

TEST_F(Panel, CopyPutsThePublicAddressOnTheClipboardFromThePanelAndTheHelpWindow)
{
    {
        std::lock_guard<std::mutex> lock(plugin->connectionMutex);
        plugin->connectedAddress = "proxy.example.org";
        plugin->connectedPort = 47901;
    }
    plugin->connectionStatus = ConnectionStatus::Connected;
    ui.frames(2);
    click("Copy");
    EXPECT_EQ(ui.clipboard(), "proxy.example.org:47901");
    EXPECT_THAT(messages(), Contains("Copied proxy.example.org:47901"));

    ImGui::SetCurrentContext(ui.context());
    ImGui::SetClipboardText("something else");
    click("Help");
    ASSERT_TRUE(ui.windowShown("Reverse Proxy Connection Help"));
    ui.click(ui::JoinIdPath({"Reverse Proxy Connection Help", "Copy"}));
    ui.frames(2);
    EXPECT_EQ(ui.clipboard(), "proxy.example.org:47901");
    plugin->connectionStatus = ConnectionStatus::Disconnected;
    ui.frames(2);
    EXPECT_FALSE(ui.itemShown(item("Copy")));
    EXPECT_FALSE(ui.itemShown(item("Test Reachability")));
}

TEST_F(Panel, TestReachabilityRunsOnTheWorkerAndReportsInTheLog)
{
    std::uint16_t localPort = 0;
    std::uint16_t silentPort = 0;
    {
        platform::UdpSocket local;
        platform::UdpSocket silent;
        ASSERT_EQ(local.Bind("127.0.0.1", 0), platform::UdpBind::Bound);
        ASSERT_EQ(silent.Bind("127.0.0.1", 0), platform::UdpBind::Bound);
        localPort = local.LocalPort();
        silentPort = silent.LocalPort();
    }
    host.cvarManager->getCvar("rp_rl_port").setValue(static_cast<int>(localPort));
    plugin->reachabilityWait = 300ms;
    {
        std::lock_guard<std::mutex> lock(plugin->connectionMutex);
        plugin->connectedAddress = "127.0.0.1";
        plugin->connectedPort = silentPort; // nothing relays there
    }
    plugin->connectionStatus = ConnectionStatus::Connected;
    ui.frames(2);
    ASSERT_TRUE(ui.itemShown(item("Test Reachability")));
    click("Test Reachability");
    ASSERT_TRUE(plugin->WaitForReverseProxyIdle(10s));
    EXPECT_THAT(messages(), Contains("Not reachable at 127.0.0.1:" + std::to_string(silentPort) +
                                     ": nothing arrived within 300 ms"));

    // Pointed at the local port itself the datagram arrives at once: the path works.
    {
        std::lock_guard<std::mutex> lock(plugin->connectionMutex);
        plugin->connectedPort = localPort;
    }
    click("Test Reachability");
    ASSERT_TRUE(plugin->WaitForReverseProxyIdle(10s));
    EXPECT_THAT(messages(), Contains(::testing::StartsWith("Reachable from the internet at 127.0.0.1:" +
                                                           std::to_string(localPort) + " (")));
    plugin->connectionStatus = ConnectionStatus::Disconnected;
}

TEST_F(Panel, ADownloadShowsItsProgressAndCancelAsksItToStop)
{
    plugin->isDownloading = true;
    plugin->downloadTotal = 12373196;
    plugin->downloadReceived = 1258291;
    ui.frames(2);
    EXPECT_TRUE(ui.textShown("1.2 MiB / 11.8 MiB", panelWindow));
    plugin->downloadTotal = 0;
    ui.frames(2);
    EXPECT_FALSE(ui.textShown("11.8 MiB", panelWindow));
    EXPECT_TRUE(ui.textShown("1.2 MiB", panelWindow));
    click("Cancel");
    // No download thread runs here: the request is what the thread would see.
    EXPECT_TRUE(plugin->DownloadCancelRequested());
    plugin->isDownloading = false;
    ui.frames(2);
    EXPECT_FALSE(ui.itemShown(item("Cancel")));
}

ImGuiWindow* StatusLogWindow(ImGuiContext* ctx)
{
    for (ImGuiWindow* window : ctx->Windows) {
        if (std::string(window->Name).rfind("Reverse Proxy/StatusLog", 0) == 0) {
            return window;
        }
    }
    return nullptr;
}

TEST_F(Panel, TheStatusLogFollowsNewLinesOnlyFromItsEnd)
{
    for (int i = 0; i < 10; ++i) {
        plugin->AddStatusLog("line " + std::to_string(i), LogLevel::Info);
    }
    ui.frames(3);
    ImGuiWindow* log = StatusLogWindow(ui.context());
    ASSERT_TRUE(log);
    ASSERT_GT(log->ScrollMax.y, 0.0f);
    EXPECT_EQ(log->Scroll.y, log->ScrollMax.y);

    plugin->AddStatusLog("newest", LogLevel::Success);
    ui.frames(3);
    EXPECT_EQ(log->Scroll.y, log->ScrollMax.y) << "at the end it follows";

    // A user who scrolled up stays where they are.
    log->Scroll.y = 0.0f;
    log->ScrollTarget.y = FLT_MAX; // what a wheel turn leaves behind: no pending scroll
    ui.frames(2);
    plugin->AddStatusLog("another", LogLevel::Warning);
    ui.frames(3);
    EXPECT_EQ(log->Scroll.y, 0.0f);
}

TEST_F(Panel, TheRouterLineShowsTheMappingItsButtonsAndTheMissingFirewallRule)
{
    auto script = std::make_shared<RouterScript>();
    plugin->makePortMapping = [script] { return std::make_unique<ScriptedPortMapping>(script); };
    plugin->firewallStatus = FirewallStatus::NeedsAdmin;
    ui.frames(2);
    EXPECT_TRUE(ui.textShown("[?] Not asked yet"));
    EXPECT_FALSE(ui.itemShown(item("Close Router Port")));

    click("Open Router Port");
    ASSERT_TRUE(plugin->WaitForReverseProxyIdle(5s));
    ui.frames(2);
    EXPECT_TRUE(ui.textShown("[OK] Router forwards UDP 7777 to this PC: players join at 203.0.113.7:7777"));
    EXPECT_TRUE(ui.textShown("[!] The Windows Firewall rule is missing"));
    EXPECT_FALSE(ui.itemShown(item("Open Router Port")));
    ui.click(ui::JoinIdPath({panelWindow, "Router", "Copy"}));
    ui.frames(2);
    EXPECT_EQ(ui.clipboard(), "203.0.113.7:7777");

    plugin->firewallStatus = FirewallStatus::Ready;
    ui.frames(2);
    EXPECT_FALSE(ui.textShown("[!] The Windows Firewall rule is missing"));

    click("Close Router Port");
    ASSERT_TRUE(plugin->WaitForReverseProxyIdle(5s));
    ui.frames(2);
    EXPECT_THAT(script->Calls(), Contains("delete 7777"));
    EXPECT_TRUE(ui.textShown("[?] Closed"));
    EXPECT_TRUE(ui.itemShown(item("Open Router Port")));
    EXPECT_FALSE(ui.itemShown(ui::JoinIdPath({panelWindow, "Router", "Copy"})));
}

#ifndef _WIN32
// A loopback port service and a tunnel client that reports its proxy, both in place before
// the plugin loads (its tunnel manager reads the service's address then).
struct TunnelReadyPanel : Panel {
    httplib::Server portService;
    std::thread serviceThread;

    void SetUp() override
    {
        portService.Get("/get-port", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"port": 47950})", "application/json");
        });
        const int servicePort = portService.bind_to_any_port("127.0.0.1");
        ASSERT_GT(servicePort, 0);
        serviceThread = std::thread([this] { portService.listen_after_bind(); });
        KestrelSetEnv("KESTREL_PORT_SERVICE_HOST", ("http://127.0.0.1:" + std::to_string(servicePort)).c_str());
        std::filesystem::create_directories(folders.frpcPath().parent_path());
        std::ofstream(folders.frpcPath())
            << "#!/bin/sh\necho '2026-12-08 20:00:00 [I] [rocket-league-server] start proxy success'\nexec sleep 30\n";
        std::filesystem::permissions(folders.frpcPath(), std::filesystem::perms::owner_all);
        Panel::SetUp();
    }
    void TearDown() override
    {
        Panel::TearDown();
        portService.stop();
        if (serviceThread.joinable()) serviceThread.join();
        unsetenv("KESTREL_PORT_SERVICE_HOST");
    }
};

TEST_F(TunnelReadyPanel, MakeReachableWithoutARouterConnectsTheTunnelAndTheLogSaysWhy)
{
    auto script = std::make_shared<RouterScript>();
    script->found = false;
    plugin->makePortMapping = [script] { return std::make_unique<ScriptedPortMapping>(script); };

    // Without the firewall rule the fallback stops where "Connect to Best Server" would.
    plugin->firewallStatus = FirewallStatus::NeedsAdmin;
    ui.frames(2);
    click("Make Reachable");
    ASSERT_TRUE(plugin->WaitForReverseProxyIdle(5s));
    ASSERT_TRUE(ui.frameUntil([&] { return ui.windowShown("Firewall Not Ready"); }));
    EXPECT_THAT(messages(), Contains("Cannot connect to a proxy: the Windows Firewall rule must be created first"));
    EXPECT_EQ(plugin->connectionStatus, ConnectionStatus::Disconnected);
    ui.click(ui::JoinIdPath({"Firewall Not Ready", "OK"}));
    ui.frames(2);

    plugin->firewallStatus = FirewallStatus::Ready;
    ui.frames(2);
    click("Make Reachable");
    ASSERT_TRUE(ui.frameUntilWithin([&] { return plugin->connectionStatus == ConnectionStatus::Connected; }, 10s))
        << ::testing::PrintToString(messages());
    ui.frames(2);
    const std::string noRouter = "No UPnP router found (UPnP may be off in the router's settings)";
    EXPECT_TRUE(ui.textShown("[!] " + noRouter));
    EXPECT_TRUE(ui.textShown("Connected to:"));
    const auto log = messages();
    const auto why = std::find(log.begin(), log.end(), "Connecting to the best proxy instead, because: " + noRouter);
    const auto connected =
        std::find_if(log.begin(), log.end(), [](const std::string& m) { return m.rfind("Connected to ", 0) == 0; });
    EXPECT_NE(connected, log.end());
    EXPECT_LT(why, connected) << "the reason comes before the tunnel";
    EXPECT_THAT(script->Calls(), Not(Contains(::testing::StartsWith("add"))));
}
#endif

} // namespace
} // namespace kestrel::testing
