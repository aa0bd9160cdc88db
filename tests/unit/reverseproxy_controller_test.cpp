// The reverse proxy controller against a fake host: start-up, the proxy list, the status log,
// the choice of server, auto-connect and shutdown.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <kestrel/build_config.h>

#include "reverse_proxy_fixture.h"

namespace kestrel::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsSubsetOf;
using ::testing::Not;
using namespace std::chrono_literals;

struct Server {
    std::string name;
    std::string address;
    std::int32_t port;
    std::string token;
    bool operator==(const Server&) const = default;
};
void PrintTo(const Server& s, std::ostream* os) { *os << s.name << "@" << s.address << ":" << s.port << "/" << s.token; }

std::vector<Server> Servers(const std::vector<ProxyServer>& list)
{
    std::vector<Server> out;
    for (const ProxyServer& s : list) {
        out.push_back({s.name, s.address, s.port, s.authToken});
    }
    return out;
}

const Server defaultServer{"Default Server", "127.0.0.1", 7000, ""};

using ReverseProxyStart = ReverseProxyPlugin;

TEST_F(ReverseProxyStart, RegistersItsVariablesAndRequestsTheList)
{
    struct Expected {
        const char* name;
        const char* value;
        const char* description;
        bool hasMin;
        float min;
        bool hasMax;
        float max;
    };
    const Expected cvars[] = {
        {"rp_auto_connect", "0", "Auto-connect to best server on startup", true, 0, true, 1},
        {"rp_selected_server", "-1", "Last selected server index", true, -1, true, 2},
        {"rp_rl_port", "7777", "Rocket League server port", true, 1024, true, 65535},
        {"rp_server_list_url", KESTREL_PROXY_LIST_URL, "URL to fetch proxy server list from", false, 0, false, 0},
    };
    for (const Expected& e : cvars) {
        const auto definition = host.console.cvarDefinition(e.name);
        ASSERT_TRUE(definition) << e.name;
        EXPECT_EQ(definition->defaultValue, e.value);
        EXPECT_EQ(definition->description, e.description);
        EXPECT_TRUE(definition->searchable);
        EXPECT_EQ(definition->hasMin, e.hasMin) << e.name;
        EXPECT_EQ(definition->hasMax, e.hasMax) << e.name;
        if (e.hasMin) {
            EXPECT_EQ(definition->min, e.min) << e.name;
        }
        if (e.hasMax) {
            EXPECT_EQ(definition->max, e.max) << e.name;
        }
        EXPECT_TRUE(definition->saveToCfg);
    }

    const auto requests = host.http->requests();
    const size_t index = listRequest();
    EXPECT_EQ(requests[index].request.url, KESTREL_PROXY_LIST_URL);
    EXPECT_EQ(requests[index].request.verb, "GET");
    EXPECT_TRUE(requests[index].request.headers.empty());
    EXPECT_TRUE(requests[index].request.body.empty());
    EXPECT_FALSE(requests[index].json);

    // The game thread's part, in order; "Ready!" does not wait for the worker's entries.
    const auto lines = linesFrom("ReverseProxy: Initializing...");
    ASSERT_GE(lines.size(), 6u);
    EXPECT_THAT(std::vector<std::string>(lines.begin(), lines.begin() + 5),
                ElementsAre("ReverseProxy: Initializing...", "ReverseProxy CVars registered",
                            "[INFO] Fetching server list from HTTP...",
                            std::string("Fetching server list from: ") + KESTREL_PROXY_LIST_URL,
                            "[INFO] Plugin initialized"));
    EXPECT_THAT(lines, Contains("ReverseProxy: Ready!"));
#ifndef _WIN32 // Windows finds its folders through the shell, not the test's environment
    EXPECT_THAT(lines, Contains("[ERROR] Failed to initialize FRP manager: frpc.exe not found at: " +
                                folders.frpcPath().string()));
#endif
    EXPECT_EQ(plugin->connectionStatus.load(), ConnectionStatus::Disconnected);
}

struct ListCase {
    const char* what;
    int code;
    std::string body;
    std::vector<Server> servers;
    std::vector<std::string> lines; // in this order among the console lines after the answer
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.what; }

struct ProxyList : ReverseProxyPlugin, ::testing::WithParamInterface<ListCase> {};

TEST_P(ProxyList, ScansTheAnswer)
{
    const ListCase& c = GetParam();
    host.console.clearLines();
    answerList(c.code, c.body);
    EXPECT_EQ(Servers(plugin->ProxyServersSnapshot()), c.servers);
    const auto lines = host.console.lines();
    auto at = lines.begin();
    for (const std::string& expected : c.lines) {
        at = std::find(at, lines.end(), expected);
        ASSERT_NE(at, lines.end()) << "missing, or out of order: " << expected;
    }
}

const std::string twoServers = R"({"servers": [
  {"name": "Local A", "address": "127.0.0.1", "port": 7001, "authToken": "secret"},
  {"name": "Local B", "address": "127.0.0.2"}
]})";

INSTANTIATE_TEST_SUITE_P(
    Bodies, ProxyList,
    ::testing::Values(
        ListCase{"two servers", 200, twoServers,
                 {{"Local A", "127.0.0.1", 7001, "secret"}, {"Local B", "127.0.0.2", 7000, ""}},
                 {"Server list fetched successfully (" + std::to_string(twoServers.size()) + " bytes)",
                  "Loaded server: Local A (127.0.0.1:7001)", "Loaded server: Local B (127.0.0.2:7000)",
                  "Loaded 2 servers from JSON", "[SUCCESS] Server list loaded successfully",
                  "[SUCCESS] Ping manager started"}},
        ListCase{"no servers key", 200, "{}", {defaultServer},
                 {"Error parsing server list JSON: 'servers' key not found", "[ERROR] Error parsing server list",
                  "[SUCCESS] Server list loaded successfully"}},
        ListCase{"short body", 200, "servers", {defaultServer},
                 {"Error parsing server list JSON: 'servers' key not found"}},
        ListCase{"no array", 200, R"({"servers": {"name": "x"}})", {defaultServer},
                 {"Error parsing server list JSON: Invalid servers array"}},
        ListCase{"unclosed array", 200, R"({"servers": [{"name": "x"})", {defaultServer},
                 {"Error parsing server list JSON: Invalid servers array"}},
        ListCase{"empty array", 200, R"({"servers": []})", {},
                 {"Loaded 0 servers from JSON", "[SUCCESS] Server list loaded successfully",
                  "[WARNING] Failed to start ping manager"}},
        ListCase{"quoted and bare ports", 200,
                 R"({"servers": [{"name": "Q", "address": "127.0.0.1", "port": "7001"},
                                 {"name": "B", "address": "127.0.0.1", "port": 7001},
                                 {"name": "E", "address": "127.0.0.1", "port": ""}]})",
                 {{"Q", "127.0.0.1", 7001, ""}, {"B", "127.0.0.1", 7001, ""}, {"E", "127.0.0.1", 7000, ""}},
                 {"Loaded 3 servers from JSON"}},
        ListCase{"bad port keeps those before", 200,
                 R"({"servers": [{"name": "Good", "address": "127.0.0.1"},
                                 {"name": "Bad", "address": "127.0.0.2", "port": "abc"},
                                 {"name": "After", "address": "127.0.0.3"}]})",
                 {{"Good", "127.0.0.1", 7000, ""}, defaultServer},
                 {"Loaded server: Good (127.0.0.1:7000)", "Error parsing server list JSON: invalid stoi argument",
                  "[ERROR] Error parsing server list", "[SUCCESS] Server list loaded successfully"}},
        ListCase{"port out of range", 200, R"({"servers": [{"name": "Big", "address": "127.0.0.1", "port": 99999999999}]})",
                 {defaultServer}, {"Error parsing server list JSON: stoi argument out of range"}},
        ListCase{"nested object ends the object", 200,
                 R"({"servers": [{"name": "N", "address": "127.0.0.1", "meta": {"x": 1}, "port": 7005, "authToken": "t"}]})",
                 {{"N", "127.0.0.1", 7000, ""}}, {"Loaded 1 servers from JSON"}},
        ListCase{"objects without name or address are skipped", 200,
                 R"({"servers": [{"name": "NoAddress"}, {"address": "127.0.0.1"}, {"name": "", "address": "127.0.0.1"},
                                 {"name": "Ok", "address": "127.0.0.1"}]})",
                 {{"Ok", "127.0.0.1", 7000, ""}}, {"Loaded 1 servers from JSON"}},
        // The tunnel configuration is TOML: it cannot carry bytes that are not UTF-8, nor would the
        // tunnel client take a port it cannot use.
        ListCase{"records the tunnel configuration cannot hold are skipped", 200,
                 "{\"servers\": [{\"name\": \"Bad\xC3(\", \"address\": \"127.0.0.1\"},"
                 " {\"name\": \"Tok\", \"address\": \"127.0.0.1\", \"authToken\": \"\xFF\"},"
                 " {\"name\": \"Zero\", \"address\": \"127.0.0.1\", \"port\": 0},"
                 " {\"name\": \"Big\", \"address\": \"127.0.0.1\", \"port\": 65536},"
                 " {\"name\": \"Caf\xC3\xA9\", \"address\": \"127.0.0.1\", \"port\": 65535}]}",
                 {{"Caf\xC3\xA9", "127.0.0.1", 65535, ""}},
                 {"Loaded server: Caf\xC3\xA9 (127.0.0.1:65535)",
                  "Skipped 2 server(s) whose name, address or token is not valid UTF-8",
                  "Skipped 2 server(s) whose port is not from 1 to 65535", "Loaded 1 servers from JSON"}},
        // A name is shown and logged with every probe: one line, 128 characters. An address past
        // a host name's length, or a token past 4 KB, names no proxy and would be logged too.
        ListCase{"names are cleaned, over-long addresses and tokens skipped", 200,
                 "{\"servers\": [{\"name\": \"" + std::string(300, 'n') + "\", \"address\": \"127.0.0.1\"},"
                 " {\"name\": \"Two\nLines\tTab\", \"address\": \"127.0.0.2\"},"
                 " {\"name\": \"Far\", \"address\": \"" + std::string(254, 'a') + "\"},"
                 " {\"name\": \"Token\", \"address\": \"127.0.0.1\", \"authToken\": \"" + std::string(4097, 't') + "\"},"
                 " {\"name\": \"Edge\", \"address\": \"" + std::string(253, 'a') + "\", \"authToken\": \"" +
                     std::string(4096, 't') + "\"}]}",
                 {{std::string(125, 'n') + "...", "127.0.0.1", 7000, ""},
                  {"Two\xC2\xB6Lines Tab", "127.0.0.2", 7000, ""},
                  {"Edge", std::string(253, 'a'), 7000, std::string(4096, 't')}},
                 {"Loaded server: " + std::string(125, 'n') + "... (127.0.0.1:7000)",
                  "Loaded server: Two\xC2\xB6Lines Tab (127.0.0.2:7000)",
                  "Skipped 2 server(s) whose address is longer than 253 bytes or token longer than 4096 bytes",
                  "Shortened 1 text(s) of the proxy list that were longer than allowed", "Loaded 3 servers from JSON"}},
        ListCase{"not found", 404, "missing", {defaultServer},
                 {"Failed to fetch server list. HTTP code: 404", "[ERROR] Failed to fetch server list from HTTP",
                  "[WARNING] Using default server configuration", "[SUCCESS] Ping manager started"}},
        ListCase{"no answer", -1, "", {defaultServer}, {"Failed to fetch server list. HTTP code: -1"}}),
    [](const ::testing::TestParamInfo<ListCase>& info) {
        std::string name = info.param.what;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return name;
    });

// A list of count servers "P1", "P2", ... on loopback; a port that is no number after the
// badPortAfter'th, when given.
std::string ManyServers(int count, int badPortAfter = -1)
{
    std::string body = R"({"servers": [)";
    for (int i = 1; i <= count; ++i) {
        body += (i > 1 ? ", " : "") + std::string(R"({"name": "P)") + std::to_string(i) + R"(", "address": "127.0.0.1"})";
        if (i == badPortAfter) body += R"(, {"name": "Bad", "address": "127.0.0.1", "port": "x"})";
    }
    return body + "]}";
}

std::vector<Server> FirstServers(int count)
{
    std::vector<Server> out;
    for (int i = 1; i <= count; ++i) out.push_back({"P" + std::to_string(i), "127.0.0.1", 7000, ""});
    return out;
}

size_t CountStartingWith(const std::vector<std::string>& lines, const std::string& prefix)
{
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
}

struct LongListCase {
    const char* what;
    std::string body;
    std::vector<Server> servers;
    std::string skipped; // the one status entry about the servers left out, empty for none
};

using LongProxyList = ReverseProxyPlugin;

TEST_F(LongProxyList, KeepsTheFirstServersInListOrderAndSaysHowManyItLeftOut)
{
    std::vector<Server> withDefault = FirstServers(31);
    withDefault.push_back(defaultServer);
    const LongListCase cases[] = {
        {"three", ManyServers(3), FirstServers(3), ""},
        {"exactly the limit", ManyServers(32), FirstServers(32), ""},
        {"one over", ManyServers(33), FirstServers(32), "Skipped 1 proxy server(s) beyond the first 32"},
        // The fallback record of a failed scan counts too.
        {"a failed scan", ManyServers(40, 40), withDefault, "Skipped 9 proxy server(s) beyond the first 31"},
    };
    for (const LongListCase& c : cases) {
        SCOPED_TRACE(c.what);
        plugin->OnProxyServerListResponse(200, c.body);
        if (plugin->pingManager) plugin->pingManager->Stop();
        EXPECT_EQ(Servers(plugin->ProxyServersSnapshot()), c.servers);
        const auto entries = messages();
        const auto skipEntries = CountStartingWith(entries, "Skipped ");
        if (c.skipped.empty()) {
            EXPECT_EQ(skipEntries, 0u);
        } else {
            EXPECT_EQ(skipEntries, 1u);
            EXPECT_THAT(entries, Contains(c.skipped));
            EXPECT_THAT(host.console.lines(), Contains("[WARNING] " + c.skipped));
        }
        {
            std::lock_guard<std::mutex> lock(plugin->statusLogMutex);
            plugin->statusLog.clear();
        }
        host.console.clearLines();
    }
}

TEST_F(LongProxyList, TwentyThousandServersCostAtMostThirtyTwoWorkers)
{
    host.console.clearLines();
    answerList(200, ManyServers(20000));
    ASSERT_TRUE(plugin->pingManager);
    EXPECT_EQ(plugin->ProxyServersSnapshot().size(), 32u);
    const auto lines = host.console.lines();
    EXPECT_THAT(lines, Contains("PingManager started with 32 worker threads"));
    EXPECT_THAT(lines, Contains("[WARNING] Skipped 19968 proxy server(s) beyond the first 32"));
    EXPECT_THAT(lines, Contains("Loaded 32 servers from JSON"));
    EXPECT_EQ(CountStartingWith(lines, "Loaded server: "), 32u);
#ifdef __linux__
    // Counted from outside the manager: the threads the process really has.
    size_t threads = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++threads;
    EXPECT_LT(threads, 60u);
#endif
    plugin->pingManager->Stop();
    EXPECT_EQ(CountStartingWith(host.console.lines(), "Ping worker stopped for server: "), 32u);
}

using ReverseProxyLog = ReverseProxyPlugin;

TEST_F(ReverseProxyLog, HoldsTheNewestTenWithTagsOnTheConsole)
{
    host.console.clearLines();
    for (int i = 1; i <= 11; ++i) {
        plugin->AddStatusLog("entry " + std::to_string(i), i % 2 ? LogLevel::Warning : LogLevel::Success);
    }
    const auto log = messages();
    ASSERT_EQ(log.size(), 10u);
    EXPECT_EQ(log.front(), "entry 2");
    EXPECT_EQ(log.back(), "entry 11");
    EXPECT_THAT(host.console.lines(), Contains("[WARNING] entry 1"));
    EXPECT_THAT(host.console.lines(), Contains("[SUCCESS] entry 10"));
}

struct ChoiceCase {
    std::vector<std::int32_t> latencies;
    std::string selected;         // status entry, empty for "no ping results"
};

using ReverseProxyChoice = ReverseProxyPlugin;

TEST_F(ReverseProxyChoice, TakesTheLowestMeasuredLatencyLowerIndexOnTies)
{
    answerListWithoutProbes(R"({"servers": [{"name": "A", "address": "127.0.0.1"}, {"name": "B", "address": "127.0.0.2"},
                                            {"name": "C", "address": "127.0.0.3"}]})");
    const ChoiceCase cases[] = {
        {{-1, 40, 40}, "Selected B (latency: 40ms)"},
        {{90, 40, 12}, "Selected C (latency: 12ms)"},
        {{0, 40, 12}, "Selected A (latency: 0ms)"},
        {{-1, -1, -1}, ""},
    };
    for (const ChoiceCase& c : cases) {
        for (size_t i = 0; i < c.latencies.size(); ++i) {
            plugin->proxyServers[i].latency = c.latencies[i];
        }
        host.console.clearLines();
        plugin->showDownloadPrompt = false;
        plugin->SelectBestServer();
        ASSERT_TRUE(idle());
        const auto lines = host.console.lines();
        if (c.selected.empty()) {
            EXPECT_THAT(lines, Contains("[WARNING] No ping results yet, using first server"));
        } else {
            EXPECT_THAT(lines, Contains("[SUCCESS] " + c.selected));
        }
        // The connect it starts stops at the missing tunnel client and asks to download it.
        EXPECT_THAT(lines, Contains("[WARNING] frpc.exe not found"));
        EXPECT_TRUE(plugin->showDownloadPrompt.load());
        EXPECT_EQ(plugin->connectionStatus.load(), ConnectionStatus::Disconnected);
    }
}

TEST_F(ReverseProxyChoice, RefusesWithoutServersOrWithABadIndex)
{
    plugin->SelectBestServer();
    ASSERT_TRUE(idle());
    EXPECT_THAT(messages(), Contains("No servers configured"));

    answerListWithoutProbes(twoServers);
    for (std::int32_t index : {5, 2, -1}) {
        host.console.clearLines();
        plugin->ConnectToServer(index);
        ASSERT_TRUE(idle());
        EXPECT_THAT(host.console.lines(), ElementsAre("[ERROR] Invalid server index")) << index;
    }
    EXPECT_FALSE(plugin->showDownloadPrompt.load());
    EXPECT_EQ(plugin->connectionStatus.load(), ConnectionStatus::Disconnected);
    EXPECT_EQ(host.cvarManager->getCvar("rp_selected_server").getIntValue(), -1);
}

TEST_F(ReverseProxyChoice, DisconnectWhileDisconnectedDoesNothing)
{
    host.console.clearLines();
    plugin->DisconnectFromServer();
    ASSERT_TRUE(idle());
    EXPECT_TRUE(host.console.lines().empty());
}

struct AutoConnect : ReverseProxyPlugin {
    void BeforeLoad() override { host.console.presetCvar("rp_auto_connect", "1"); }
    void SetUp() override
    {
        host.attach(*plugin);
        plugin->autoConnectDelay = std::chrono::milliseconds(400);
        BeforeLoad();
        plugin->onLoad();
    }
};

TEST_F(AutoConnect, WithoutTheListInTimeFindsNoServer)
{
    // onLoad came back at once; the panel shows the pending connect.
    EXPECT_EQ(plugin->DisplayedConnectionStatus(), ConnectionStatus::Connecting);
    ASSERT_TRUE(idle());
    EXPECT_THAT(messages(), Contains("Auto-connect enabled, selecting best server..."));
    EXPECT_THAT(messages(), Contains("No servers configured"));
    EXPECT_EQ(plugin->DisplayedConnectionStatus(), ConnectionStatus::Disconnected);
}

TEST_F(AutoConnect, WithTheListButNoProbeTakesTheFirstServer)
{
    answerListWithoutProbes(twoServers);
    ASSERT_TRUE(idle());
    EXPECT_THAT(messages(), Contains("No ping results yet, using first server"));
    EXPECT_THAT(messages(), Contains("frpc.exe not found"));
    EXPECT_TRUE(plugin->showDownloadPrompt.load());
}

struct SlowAutoConnect : AutoConnect {
    void SetUp() override
    {
        host.attach(*plugin);
        plugin->autoConnectDelay = std::chrono::seconds(60);
        BeforeLoad();
        const auto start = std::chrono::steady_clock::now();
        plugin->onLoad();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    }
    void TearDown() override {}
};

TEST_F(SlowAutoConnect, UnloadDoesNotWaitOutTheDelay)
{
    std::this_thread::sleep_for(100ms);
    const auto start = std::chrono::steady_clock::now();
    host.console.clearLines();
    plugin->onUnload();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_THAT(messages(), Not(Contains("No servers configured")));
    const auto lines = linesFrom("ReverseProxy: Cleaning up...");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "ReverseProxy: Cleanup complete");
    EXPECT_THAT(lines, Contains("[INFO] Plugin unloaded"));
    EXPECT_FALSE(plugin->pingManager);
    EXPECT_FALSE(plugin->frpClientManager);
    EXPECT_FALSE(plugin->firewallManager);
}

TEST_F(SlowAutoConnect, AListAnswerAfterUnloadStartsNoProbes)
{
    plugin->onUnload();
    answerList(200, twoServers);
    EXPECT_FALSE(plugin->pingManager);
}

} // namespace
} // namespace kestrel::testing
