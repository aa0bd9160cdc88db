// A Host Lan match tunnelled in the development host, clicked through the "Reverse Proxy" window
// the way a player would: the demo services list the proxies and serve the tunnel client, the
// simulated firewall asks for its rule, the download arrives, the tunnel counts as connected only
// once the client reports its proxy, a datagram to the public address reaches the simulated
// listen server and comes back, and a killed client turns the panel to Error.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "devhost_process.h"

namespace devhost_test {
namespace {

const std::string kPanel = "Reverse Proxy";

// scripts/reverse-proxy-e2e sets KESTREL_E2E_VISIBLE: the host then runs in a window on the
// display, pauses after each click so a person can follow, and its transcript is printed.
bool Visible()
{
    const char* visible = std::getenv("KESTREL_E2E_VISIBLE");
    return visible && *visible && std::getenv("DISPLAY");
}

std::vector<std::string> HostArgs(const TempDir& dir, std::vector<std::string> extra)
{
    auto args = DevhostArgs(dir, std::move(extra));
    if (Visible()) args.erase(std::find(args.begin(), args.end(), "--headless"));
    return args;
}

class TunnelledHost {
public:
    TunnelledHost()
        : servicesPort(FreePort(false)), listenPort(FreePort(true)),
          services({KESTREL_DEMO_SERVICES_PATH, "--port", std::to_string(servicesPort), "--tunnel-ports", "0",
                    "--data-dir", (dir.path() / "services").string()})
    {
        servicesUp = services.waitFor("demo-services: listening on", 10s);
        // The plugin's list and port service point at these demo services, and its tunnel at the
        // simulated listen server's port.
        const auto config = dir.path() / "tunnel.cfg";
        std::ofstream(config) << "rp_server_list_url \"http://127.0.0.1:" << servicesPort << "/proxy\"\n"
                              << "rp_rl_port \"" << listenPort << "\"\n";
        host = std::make_unique<ChildProcess>(
            HostArgs(dir, {"--listen-port", std::to_string(listenPort), "--config", config.string()}),
            std::vector<std::string>{"KESTREL_PORT_SERVICE_HOST=http://127.0.0.1:" + std::to_string(servicesPort)});
    }
    ~TunnelledHost()
    {
        if (host) {
            host->send("quit");
            host->wait(20s);
            if (std::getenv("KESTREL_E2E_VISIBLE")) std::printf("%s\n", host->output().c_str());
        }
        services.terminate();
        services.wait(10s);
    }

    // Asks for the panel's text until a line holds what is looked for; the matching line.
    std::optional<std::string> PanelShows(const std::regex& pattern, std::chrono::milliseconds timeout = 10s)
    {
        return WindowShows(kPanel, pattern, timeout);
    }
    // window "": every window shown (the status log is a child region of its own).
    std::optional<std::string> WindowShows(const std::string& window, const std::regex& pattern,
                                           std::chrono::milliseconds timeout = 10s)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const size_t from = host->output().size();
            host->send(window.empty() ? std::string("ui text") : "ui text \"" + window + "\"");
            host->send("echo panel-end-" + std::to_string(++asked));
            if (!host->waitFor("panel-end-" + std::to_string(asked) + "\n", 5s)) return std::nullopt;
            const std::string text = host->output().substr(from);
            std::smatch match;
            std::istringstream lines(text);
            for (std::string line; std::getline(lines, line);) {
                if (std::regex_search(line, match, pattern)) return line;
            }
            std::this_thread::sleep_for(100ms);
        }
        return std::nullopt;
    }
    bool Press(const std::string& path)
    {
        host->send("ui press \"" + path + "\"");
        const bool pressed = host->waitFor("ui: pressed " + path);
        if (Visible()) std::this_thread::sleep_for(1500ms);
        return pressed;
    }
    // The first capture of pattern in the host's output, waiting for it.
    std::optional<std::string> OutputCapture(const std::regex& pattern, std::chrono::milliseconds timeout = 15s)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string text = host->output();
            std::smatch match;
            if (std::regex_search(text, match, pattern)) return match[1].str();
            std::this_thread::sleep_for(50ms);
        }
        return std::nullopt;
    }

    TempDir dir;
    int servicesPort;
    int listenPort;
    ChildProcess services;
    bool servicesUp = false;
    std::unique_ptr<ChildProcess> host;
    int asked = 0;
};

TEST(DevhostReverseProxy, TunnelsAHostLanMatchFromAnEmptyFolderToAnEchoedDatagram)
{
    TunnelledHost run;
    ASSERT_TRUE(run.servicesUp) << run.services.output();
    ChildProcess& host = *run.host;
    ASSERT_TRUE(host.waitFor("type 'help' for the commands")) << host.output();

    // Host Lan opens the Reverse Proxy window beside the main one, and hosts the match.
    host.send("togglemenu matchbay");
    ASSERT_TRUE(run.Press("Kestrel - V1.2.0/Tabs/Host Lan")) << host.output();
    ASSERT_TRUE(run.Press("Kestrel - V1.2.0/Tabs/Host Lan/Host Lan")) << host.output();
    ASSERT_TRUE(host.waitFor("[game] listening on UDP 127.0.0.1:" + std::to_string(run.listenPort))) << host.output();

    // The demo proxies, with latencies once the ping workers have probed them.
    const std::string latency = CanProbe() ? "\\d+ms" : "";
    ASSERT_TRUE(run.PanelShows(std::regex("Demo Proxy Local.*" + latency))) << host.output();
    ASSERT_TRUE(run.PanelShows(std::regex("Demo Proxy Token.*" + latency))) << host.output();

    // The simulated firewall: a process that is no administrator needs the rule, which the
    // elevation prompt creates.
    auto firewall = run.PanelShows(std::regex("Firewall: .*(Port 7777 Open|Admin)"));
    ASSERT_TRUE(firewall) << host.output();
    if (firewall->find("Port 7777 Open") == std::string::npos) {
        ASSERT_TRUE(run.Press(kPanel + "/Create Firewall Rule")) << host.output();
        ASSERT_TRUE(host.waitFor(": accepted")) << host.output();
        ASSERT_TRUE(run.PanelShows(std::regex("Firewall: .*Port 7777 Open"), 20s)) << host.output();
    }

    // No client yet: connecting offers the download, which installs the demo services' client.
    ASSERT_TRUE(run.Press(kPanel + "/Connect to Best Server")) << host.output();
    ASSERT_TRUE(run.WindowShows("Download frpc.exe", std::regex("frpc.exe was not detected"))) << host.output();
    ASSERT_TRUE(run.Press("Download frpc.exe/Yes, Download")) << host.output();
    ASSERT_TRUE(run.WindowShows("", std::regex("frpc.exe downloaded successfully"), 20s)) << host.output();

    // Connecting first, Connected once the client reported its proxy (the client's own lines stay
    // with the plugin; the tunnel health unit tests hold a client that never reports).
    ASSERT_TRUE(run.Press(kPanel + "/Connect to Best Server")) << host.output();
    ASSERT_TRUE(run.PanelShows(std::regex("Status: .*Connected  \\| Connected to: 127\\.0\\.0\\.[12]:\\d+"), 20s))
        << host.output();
    const std::string output = host.output();
    const size_t connecting = output.find("Connecting to Demo Proxy");
    const size_t connected = output.find("Connected to Demo Proxy");
    ASSERT_NE(connecting, std::string::npos) << output;
    ASSERT_NE(connected, std::string::npos) << output;
    EXPECT_LT(connecting, connected) << output;

    // The public address: the proxy's address and the port the port service handed out.
    auto remotePort = run.OutputCapture(std::regex("Successfully fetched remote port: (\\d+)"));
    auto name = run.OutputCapture(std::regex("Connected to (Demo Proxy \\w+)"));
    auto pid = run.OutputCapture(std::regex("FRP client started successfully \\(PID: (\\d+)\\)"));
    ASSERT_TRUE(remotePort && name && pid) << output;
    const std::string address = *name == "Demo Proxy Local" ? "127.0.0.1" : "127.0.0.2";
    std::optional<std::string> echo;
    for (int attempt = 0; attempt < 10 && !echo; ++attempt) echo = ExchangeWith(address, std::stoi(*remotePort), "tunnelled hello");
    // Only the simulated listen server answers on the tunnel's local port.
    EXPECT_EQ(echo, "tunnelled hello") << host.output();

    // The client ends under the tunnel (by the PID this flow started): Error within about 2 s.
    ASSERT_EQ(kill(std::stoi(*pid), SIGKILL), 0);
    const auto killed = std::chrono::steady_clock::now();
    ASSERT_TRUE(run.PanelShows(std::regex("Status: .*Error"), 5s)) << host.output();
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 2500ms);
    EXPECT_TRUE(run.WindowShows("", std::regex("Tunnel lost: Tunnel client exited"))) << host.output();
}

} // namespace
} // namespace devhost_test
