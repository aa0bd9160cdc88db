// Unloading the plugin in the development host while one of its flows waits on the network or
// another process: the unload returns within 3 s and leaves no thread and no child behind; and
// load/unload cycles with every flow started each time grow neither threads nor open files.
// The demo services answer the waited-on path only after a long hold, so the flow is still in
// flight when the unload comes.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <thread>

#include "devhost_process.h"

namespace devhost_test {
namespace {

namespace fs = std::filesystem;

const std::string kMain = "Kestrel - V1.2.0";
const std::string kKestrel = kMain + "/Tabs/Kestrel";
const std::string kRLBot = kMain + "/Tabs/RLBot Host";
const std::string kHostLan = kMain + "/Tabs/Host Lan";
constexpr int kServicePort = 47801; // the plugin's built-in hosting and bot service address

struct Census {
    int threads = -1;
    int openFiles = -1;
    int children = -1;
    std::string text; // the whole answer, open files listed
};

class Host {
public:
    Host(std::vector<std::string> serviceArgs, int downloadRate, int holdMs = 60000)
    {
        // A host that ended (a sanitizer finding) must fail the test, not end it by a write.
        std::signal(SIGPIPE, SIG_IGN);
        std::vector<std::string> args{KESTREL_DEMO_SERVICES_PATH, "--port", std::to_string(kServicePort), "--tunnel-ports",
                                      "0", "--data-dir", (dir.path() / "services").string(), "--hold-ms", std::to_string(holdMs)};
        if (downloadRate > 0) {
            args.push_back("--download-rate");
            args.push_back(std::to_string(downloadRate));
        }
        args.insert(args.end(), serviceArgs.begin(), serviceArgs.end());
        // Another run on this machine may hold the port for a while: wait for it rather than skip.
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        do {
            services = std::make_unique<ChildProcess>(args);
            servicesUp = services->waitFor("demo-services: listening on", 10s);
            if (!servicesUp) std::this_thread::sleep_for(1s);
        } while (!servicesUp && std::chrono::steady_clock::now() < deadline);
        host = std::make_unique<ChildProcess>(DevhostArgs(dir, {"--no-plugin", "--http-timeout", "60000"}));
    }
    ~Host()
    {
        if (!quitted) Quit();
        services->terminate();
        services->wait(10s);
    }

    std::optional<int> Quit()
    {
        quitted = true;
        host->send("quit");
        return host->wait(60s);
    }
    // Sends the line and waits until the host has run it; the output it printed.
    std::string Run(const std::string& line, std::chrono::milliseconds timeout = 30s)
    {
        const size_t from = host->output().size();
        const std::string marker = "ran-" + std::to_string(++ran);
        host->send(line);
        host->send("echo " + marker);
        if (!host->waitFor(marker + "\n", timeout)) return "(no answer to " + line + ")";
        return host->output().substr(from);
    }
    Census Status()
    {
        const std::string text = Run("host files");
        std::smatch match;
        Census census;
        census.text = text;
        if (std::regex_search(text, match, std::regex(R"(\[host\] threads (\d+), open files (\d+), child processes (\d+))"))) {
            census.threads = std::stoi(match[1]);
            census.openFiles = std::stoi(match[2]);
            census.children = std::stoi(match[3]);
        }
        return census;
    }
    // The unload's own time in ms, or -1.
    int Unload()
    {
        const std::string text = Run("plugin unload", 60s);
        std::smatch match;
        if (!std::regex_search(text, match, std::regex(R"(devhost: unloaded matchbay in (\d+) ms)"))) return -1;
        return std::stoi(match[1]);
    }
    std::string Output() const { return host->output(); }
    // Waits until the output after position from holds text.
    bool WaitAfter(size_t from, const std::string& text, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string all = host->output();
            if (all.size() > from && all.find(text, from) != std::string::npos) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    TempDir dir;
    std::unique_ptr<ChildProcess> services;
    std::unique_ptr<ChildProcess> host;
    bool servicesUp = false;
    bool quitted = false;
    int ran = 0;
};

// A flow caught in flight: the demo services hold what it waits for, the console lines start
// it, and the output line shows it is under way.
struct InFlight {
    const char* name;
    std::vector<std::string> serviceArgs;
    std::vector<std::string> start;
    const char* underWay;
    bool needsClient = false;   // the tunnel client stand-in is put where the plugin looks for it
    bool clientRuns = false;    // and it runs when the unload comes
    int downloadRate = 0;       // KiB per second for the tunnel client download
};

void PrintTo(const InFlight& flow, std::ostream* os) { *os << flow.name; }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

const InFlight kFlows[] = {
    {"hosted_request",
     {"--hold", "/"},
     {"ui press " + Quoted(kKestrel),
      "ui wait " + Quoted(kMain) + " \"Devhost East\"", "ui press " + Quoted(kKestrel + "/Request Server")},
     "Requesting server with URL"},
    {"bot_request",
     {"--hold", "/"},
     {"ui press " + Quoted(kRLBot), "ui wait " + Quoted(kMain) + " \"Devhost East\"",
      // The bot list is a request of its own: the server list being in says nothing about it.
      "ui wait " + Quoted(kMain) + " \"Atlas\"", "ui pick " + Quoted(kRLBot + "/##BotSelection") + " @0/Atlas", "ui press " + Quoted(kRLBot + "/Add to Blue Team"),
      "ui press " + Quoted(kRLBot + "/Request Server"), "ui press \"Confirm Request/Confirm\""},
     "Requesting server with blue bots"},
    {"bot_details",
     {"--hold", "/api/bots/*"},
     {"ui press " + Quoted(kRLBot), "ui wait " + Quoted(kMain) + " \"Atlas\"",
      "ui pick " + Quoted(kRLBot + "/##BotSelection") + " @2/Kamikaze"},
     "/api/bots/Kamikaze/bot.toml"},
    {"lobby_list", {"--hold", "/rllobby/lobby"}, {"ui press \"Active Server List/#/Refresh\""}, "ui: pressed Active Server List"},
    {"proxy_list", {"--hold", "/proxy"}, {}, "Fetching server list from"},
    {"ping_workers", {}, {}, "Ping worker started for server"},
    // Router discovery cannot be cut short; it ends within about a second (on loopback here).
    {"router_discovery", {}, {"kz router open"}, "Asking the router to forward UDP"},
    {"tunnel_client",
     {},
     {"ui press " + Quoted(kHostLan), "ui wait \"Reverse Proxy\" \"ms\"", "ui press \"Reverse Proxy/Connect to Best Server\""},
     "FRP client started successfully",
     true,
     true},
    // Waiting for the reply's head, and then in the body.
    {"download_head",
     {"--hold", "/reverseproxy/frpc.exe"},
     {"ui press " + Quoted(kHostLan), "ui wait \"Reverse Proxy\" \"Demo Proxy\"",
      "ui press \"Reverse Proxy/Connect to Best Server\"", "ui press \"Download frpc.exe/Yes, Download\""},
     "Downloading frpc.exe from"},
    {"port_request",
     {"--hold", "/get-port"},
     {"ui press " + Quoted(kHostLan), "ui wait \"Reverse Proxy\" \"ms\"", "ui press \"Reverse Proxy/Connect to Best Server\""},
     "Fetching remote port from server",
     true},
    {"download",
     {},
     {"ui press " + Quoted(kHostLan), "ui wait \"Reverse Proxy\" \"Demo Proxy\"",
      "ui press \"Reverse Proxy/Connect to Best Server\"", "ui press \"Download frpc.exe/Yes, Download\""},
     "Downloading frpc.exe from",
     false,
     false,
     1},
};

fs::path ClientPlace(const TempDir& dir)
{
    return dir.path() / "data/appdata/bakkesmod/bakkesmod/data/ReverseProxy/frpc.exe";
}

// Loads the plugin and starts the flow; false (with the reason in failure) when it never got
// under way.
bool StartFlow(Host& host, const InFlight& flow, std::string& failure)
{
    const size_t from = host.Output().size();
    const std::string loaded = host.Run("plugin load " + Quoted(KESTREL_PLUGIN_PATH));
    if (loaded.find("devhost: loaded matchbay") == std::string::npos) {
        failure = "not loaded: " + loaded;
        return false;
    }
    host.Run("togglemenu matchbay");
    for (const auto& line : flow.start) {
        const std::string text = host.Run(line);
        const bool done = text.find("ui: pressed ") != std::string::npos || text.find("ui: picked ") != std::string::npos ||
                          text.find("ui: text: ") != std::string::npos;
        if (line.rfind("ui ", 0) == 0 && !done) {
            failure = line + ": " + text;
            return false;
        }
    }
    if (!host.WaitAfter(from, flow.underWay, 15s)) {
        failure = std::string("never under way: ") + flow.underWay;
        return false;
    }
    return true;
}

std::optional<pid_t> ClientPid(const std::string& output)
{
    std::smatch match;
    if (!std::regex_search(output, match, std::regex(R"(FRP client started successfully \(PID: (\d+)\))"))) return std::nullopt;
    return static_cast<pid_t>(std::stol(match[1]));
}

class UnloadInFlight : public ::testing::TestWithParam<InFlight> {};

TEST_P(UnloadInFlight, ReturnsQuicklyAndLeavesNothingRunning)
{
    const InFlight& flow = GetParam();
    if (flow.needsClient && !CanProbe()) GTEST_SKIP() << "no ICMP here: the best proxy cannot be chosen";
    Host host(flow.serviceArgs, flow.downloadRate);
    if (!host.servicesUp) GTEST_SKIP() << "the built-in service port is taken: " << host.services->output();
    host.Run("sim firewall admin on");
    if (flow.needsClient) {
        fs::create_directories(ClientPlace(host.dir).parent_path());
        fs::copy_file(KESTREL_TUNNEL_CLIENT_PATH, ClientPlace(host.dir));
    }
    const Census before = host.Status();
    ASSERT_GT(before.threads, 0) << host.Output();
    ASSERT_EQ(before.children, 0) << host.Output();

    std::string failure;
    ASSERT_TRUE(StartFlow(host, flow, failure)) << failure << "\n" << host.Output();
    const auto client = ClientPid(host.Output());
    if (flow.clientRuns) {
        ASSERT_TRUE(client) << host.Output();
    }

    const int took = host.Unload();
    ASSERT_GE(took, 0) << host.Output();
    EXPECT_LT(took, 3000) << host.Output();
    const Census after = host.Status();
    std::printf("%s: unload %d ms; threads %d before load, %d after unload\n", flow.name, took, before.threads, after.threads);
    EXPECT_EQ(after.threads, before.threads) << host.Output();
    EXPECT_EQ(after.children, 0) << host.Output();
    if (client) {
        EXPECT_NE(kill(*client, 0), 0) << "the tunnel client " << *client << " outlived the unload";
    }
    // The host goes on: a second load works and ends cleanly too.
    EXPECT_NE(host.Run("plugin load " + Quoted(KESTREL_PLUGIN_PATH)).find("devhost: loaded matchbay"), std::string::npos);
    EXPECT_GE(host.Unload(), 0) << host.Output();
    // The sanitizer builds report what the host touched after free or leaked when it ends.
    EXPECT_EQ(host.Quit(), 0) << host.Output();
}

INSTANTIATE_TEST_SUITE_P(Flows, UnloadInFlight, ::testing::ValuesIn(kFlows),
                         [](const ::testing::TestParamInfo<InFlight>& info) { return std::string(info.param.name); });

// KESTREL_UNLOAD_CYCLES sets the count (the soak script runs 100).
int CycleCount()
{
    const char* text = std::getenv("KESTREL_UNLOAD_CYCLES");
    const int count = text ? std::atoi(text) : 0;
    return count > 1 ? count : 5;
}

TEST(UnloadCycles, EveryFlowStartedEachTimeGrowsNeitherThreadsNorFiles)
{
    // Held: a hosted request, bot details and the lobby list; the proxies are pinged and the
    // download runs slowly.
    // Each hold outlasts its cycle's unload, and ends before many cycles' holds pile up.
    Host host({"--hold", "/", "--hold", "/api/bots/*", "--hold", "/rllobby/lobby"}, 1, 8000);
    if (!host.servicesUp) GTEST_SKIP() << "the built-in service port is taken: " << host.services->output();
    host.Run("sim firewall admin on");
    const InFlight everything{
        "everything",
        {},
        {"ui press " + Quoted(kKestrel),
         "ui wait " + Quoted(kMain) + " \"Devhost East\"", "ui press " + Quoted(kKestrel + "/Request Server"),
         "ui press " + Quoted(kRLBot), "ui pick " + Quoted(kRLBot + "/##BotSelection") + " @2/Kamikaze",
         "ui press \"Active Server List/#/Refresh\"", "ui press " + Quoted(kHostLan),
         "ui wait \"Reverse Proxy\" \"Demo Proxy\"", "ui press \"Reverse Proxy/Connect to Best Server\"",
         "ui press \"Download frpc.exe/Yes, Download\""},
        "Downloading frpc.exe from"};
    const int cycles = CycleCount();
    Census first;
    int slowest = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        std::string failure;
        ASSERT_TRUE(StartFlow(host, everything, failure)) << "cycle " << cycle << ": " << failure << "\n" << host.Output();
        const int took = host.Unload();
        ASSERT_GE(took, 0) << host.Output();
        slowest = std::max(slowest, took);
        const Census now = host.Status();
        if (cycle == 1) first = now;
        std::printf("cycle %d: unload %d ms, threads %d, open files %d\n", cycle, took, now.threads, now.openFiles);
        ASSERT_EQ(now.children, 0) << "cycle " << cycle;
        ASSERT_LE(now.threads, first.threads) << "cycle " << cycle;
        ASSERT_LE(now.openFiles, first.openFiles) << "cycle " << cycle << "\n" << first.text << "\n" << now.text;
    }
    EXPECT_LT(slowest, 3000);
    EXPECT_EQ(host.Quit(), 0) << host.Output();
    std::printf("%d cycles, slowest unload %d ms, threads %d, open files %d\n", cycles, slowest, first.threads, first.openFiles);
}

// KESTREL_STRESS_SECONDS sets the length (the soak script runs 30 s in the thread-sanitizer build).
int StressSeconds()
{
    const char* text = std::getenv("KESTREL_STRESS_SECONDS");
    const int seconds = text ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 3;
}

// Drawing (the menu stays open), HTTP completions (lobby refreshes, bot details, the host's own
// requests), console commands and variable changes, the ping workers and the reverse proxy
// worker (connects and disconnects), all at once; a sanitizer finding ends the host with an
// error, which the exit status shows.
TEST(ThreadStress, EveryThreadOfThePluginAtOnce)
{
    Host host({}, 0);
    if (!host.servicesUp) GTEST_SKIP() << "the built-in service port is taken: " << host.services->output();
    host.Run("sim firewall admin on");
    ASSERT_NE(host.Run("plugin load " + Quoted(KESTREL_PLUGIN_PATH)).find("devhost: loaded matchbay"), std::string::npos)
        << host.Output();
    host.Run("togglemenu matchbay");
    host.Run("ui press " + Quoted(kHostLan));
    const std::string base = "http://127.0.0.1:" + std::to_string(kServicePort);
    const std::vector<std::string> round = {
        "ui press \"Active Server List/#/Refresh\"",
        "ui press \"Reverse Proxy/Connect to Best Server\"",
        "kzlobby_endpoint " + base + "/rllobby",
        "http get " + base + "/servers",
        "ui press " + Quoted(kRLBot),
        "ui pick " + Quoted(kRLBot + "/##BotSelection") + " @2/Kamikaze",
        "ui press " + Quoted(kHostLan),
        "ui press \"Reverse Proxy/Disconnect\"",
        "ui text",
        "frames 2",
    };
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(StressSeconds());
    int rounds = 0;
    while (std::chrono::steady_clock::now() < end) {
        for (const auto& line : round) {
            host.host->send(line);
        }
        ASSERT_NE(host.Run("echo round"), "(no answer to echo round)") << host.Output();
        ++rounds;
    }
    EXPECT_GE(host.Unload(), 0) << host.Output();
    const auto status = host.Quit();
    ASSERT_TRUE(status.has_value()) << host.Output();
    EXPECT_EQ(*status, 0) << host.Output();
    EXPECT_EQ(host.Output().find("ThreadSanitizer"), std::string::npos) << host.Output();
    EXPECT_EQ(host.Output().find("AddressSanitizer"), std::string::npos) << host.Output();
    std::printf("%d rounds in %d s\n", rounds, StressSeconds());
}

} // namespace
} // namespace devhost_test
