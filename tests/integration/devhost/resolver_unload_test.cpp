// Unloading while a ping worker waits for a resolver that never answers: the development host,
// the demo services and a DNS server that drops every query run in a network namespace of
// their own, whose resolv.conf names that server; the one listed proxy is given by host name.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "devhost_process.h"

namespace devhost_test {
namespace {

namespace fs = std::filesystem;

constexpr int kServicePort = 47801; // the plugin's built-in address: free in a namespace of our own

std::string IpTool()
{
    for (const char* path : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"}) {
        if (access(path, X_OK) == 0) return path;
    }
    return {};
}

// Runs the command and returns its exit status and output.
std::pair<int, std::string> Run(const std::vector<std::string>& argv)
{
    ChildProcess child(argv);
    const auto status = child.wait(30s);
    child.waitFor("\x01never", 200ms); // the last bytes once the pipe closes
    return {status.value_or(-1), child.output()};
}

// A namespace with loopback up and a resolv.conf of its own; removed with its files even when
// the test fails.
class Namespace {
public:
    Namespace()
    {
        ip = IpTool();
        if (ip.empty()) {
            reason = "no ip tool";
            return;
        }
        name = "kbres-" + std::to_string(getpid());
        const auto [added, output] = Run({ip, "netns", "add", name});
        if (added != 0) {
            reason = "ip netns add failed (needs root and network namespaces): " + output;
            return;
        }
        created = true;
        if (Run({ip, "-n", name, "link", "set", "lo", "up"}).first != 0) {
            reason = "cannot bring up loopback in the namespace";
            return;
        }
        std::error_code error;
        madeEtcNetns = !fs::exists("/etc/netns") && fs::create_directory("/etc/netns", error);
        etc = fs::path("/etc/netns") / name;
        fs::create_directories(etc, error);
        std::ofstream(etc / "resolv.conf") << "nameserver 127.0.0.1\n";
        if (error || !fs::exists(etc / "resolv.conf")) {
            reason = "cannot write " + (etc / "resolv.conf").string();
            return;
        }
        ready = true;
    }
    ~Namespace()
    {
        std::error_code ignored;
        if (!etc.empty()) fs::remove_all(etc, ignored);
        // /etc/netns itself only when this test made it and nothing else came into it since.
        if (madeEtcNetns) fs::remove(fs::path("/etc/netns"), ignored);
        if (created) Run({ip, "netns", "delete", name});
    }
    std::vector<std::string> Exec(std::vector<std::string> argv) const
    {
        argv.insert(argv.begin(), {ip, "netns", "exec", name});
        return argv;
    }

    std::string ip;
    std::string name;
    fs::path etc;
    bool created = false;
    bool madeEtcNetns = false;
    bool ready = false;
    std::string reason;
};

// A DNS server that reads every query and answers none, on 127.0.0.1:53 of the namespace.
class SilentResolver {
public:
    explicit SilentResolver(const std::string& netns)
    {
        const int nsFd = open(("/var/run/netns/" + netns).c_str(), O_RDONLY | O_CLOEXEC);
        if (nsFd < 0) return;
        // setns changes only the calling thread's namespace: the socket is made there.
        worker = std::thread([this, nsFd] {
            const bool entered = setns(nsFd, CLONE_NEWNET) == 0;
            close(nsFd);
            int sock = entered ? socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0) : -1;
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(53);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (sock >= 0 && bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                close(sock);
                sock = -1;
            }
            listening = sock >= 0;
            bound = true;
            while (sock >= 0 && !stop) {
                pollfd wait{sock, POLLIN, 0};
                if (poll(&wait, 1, 50) > 0) {
                    char query[1500];
                    if (recv(sock, query, sizeof query, 0) > 0) ++queries;
                }
            }
            if (sock >= 0) close(sock);
        });
        while (!bound) std::this_thread::sleep_for(5ms);
    }
    ~SilentResolver()
    {
        stop = true;
        if (worker.joinable()) worker.join();
    }

    std::atomic<bool> bound{false};
    std::atomic<bool> listening{false};
    std::atomic<bool> stop{false};
    std::atomic<int> queries{0};

private:
    std::thread worker;
};

// Sends the line and waits until the host has run it; the output it printed.
std::string Command(ChildProcess& host, const std::string& line, std::chrono::milliseconds timeout = 30s)
{
    static int ran = 0;
    const size_t from = host.output().size();
    const std::string marker = "resolver-ran-" + std::to_string(++ran);
    host.send(line);
    host.send("echo " + marker);
    if (!host.waitFor(marker + "\n", timeout)) return "(no answer to " + line + ")";
    return host.output().substr(from);
}

int Threads(ChildProcess& host)
{
    std::smatch match;
    const std::string text = Command(host, "host files");
    if (!std::regex_search(text, match, std::regex(R"(\[host\] threads (\d+),)"))) return -1;
    return std::stoi(match[1]);
}

TEST(ResolverUnload, ReturnsWithinASecondWhileTheLookupHangs)
{
    Namespace ns;
    if (!ns.ready) GTEST_SKIP() << "network namespaces cannot be made here: " << ns.reason;
    SilentResolver resolver(ns.name);
    ASSERT_TRUE(resolver.listening) << "no socket on 127.0.0.1:53 in " << ns.name;

    TempDir dir;
    ChildProcess services(ns.Exec({KESTREL_DEMO_SERVICES_PATH, "--port", std::to_string(kServicePort), "--tunnel-ports", "0",
                                   "--data-dir", (dir.path() / "services").string(), "--proxy",
                                   "Named Proxy=proxy.kestrel.test:7000"}));
    ASSERT_TRUE(services.waitFor("demo-services: listening on", 20s)) << services.output();

    ChildProcess host(ns.Exec(DevhostArgs(dir, {"--no-plugin"})));
    const int before = Threads(host);
    ASSERT_GT(before, 0) << host.output();
    ASSERT_NE(Command(host, "plugin load \"" + std::string(KESTREL_PLUGIN_PATH) + "\"").find("devhost: loaded matchbay"),
              std::string::npos)
        << host.output();
    ASSERT_TRUE(host.waitFor("Ping worker started for server: Named Proxy", 20s)) << host.output();
    // The worker's lookup has reached the silent server: it is waiting for an answer.
    for (int i = 0; i < 200 && resolver.queries == 0; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_GT(resolver.queries.load(), 0) << host.output();
    std::this_thread::sleep_for(300ms);

    std::smatch match;
    const std::string after = Command(host, "plugin unload");
    ASSERT_TRUE(std::regex_search(after, match, std::regex(R"(devhost: unloaded matchbay in (\d+) ms)"))) << after;
    const int took = std::stoi(match[1]);
    std::printf("unload with a hanging lookup: %d ms (%d queries dropped)\n", took, resolver.queries.load());
    EXPECT_LT(took, 1000) << host.output();
    // No lookup of the plugin's goes on without it.
    EXPECT_EQ(Threads(host), before) << host.output();
    EXPECT_EQ(host.output().find("Ping to Named Proxy"), std::string::npos) << "the lookup cannot have finished";

    host.send("quit");
    EXPECT_EQ(host.wait(30s), 0) << host.output();
    services.terminate();
    services.wait(10s);
}

} // namespace
} // namespace devhost_test
