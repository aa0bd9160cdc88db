#pragma once
// The plugin loaded into a fake host for reverse proxy tests: its own application-data and
// temporary folders (so no tunnel client is found unless a test puts one there), a short
// auto-connect wait, and helpers to answer the proxy list request and read the status entries.
#include <chrono>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#define KESTREL_GETPID _getpid
inline void KestrelSetEnv(const char* name, const char* value) { _putenv_s(name, value); }
#else
#include <unistd.h>
#define KESTREL_GETPID getpid
inline void KestrelSetEnv(const char* name, const char* value) { setenv(name, value, 1); }
#endif

#include "fake_host.h"
#include "plugin/matchbay.h"

namespace kestrel::testing {

// Sets KESTREL_APPDATA and KESTREL_TEMP to a fresh folder for one test and removes it after.
class ReverseProxyFolders {
public:
    ReverseProxyFolders()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = std::filesystem::temp_directory_path() /
               ("kestrel-rp-" + std::to_string(KESTREL_GETPID()) + "-" + (info ? info->name() : "x"));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "appdata");
        std::filesystem::create_directories(root / "temp");
        KestrelSetEnv("KESTREL_APPDATA", (root / "appdata").string().c_str());
        KestrelSetEnv("KESTREL_TEMP", (root / "temp").string().c_str());
    }
    ~ReverseProxyFolders()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    std::filesystem::path frpcPath() const
    {
        return root / "appdata" / "bakkesmod" / "bakkesmod" / "data" / "ReverseProxy" / "frpc.exe";
    }

    std::filesystem::path root;
};

struct ReverseProxyPlugin : ::testing::Test {
    ReverseProxyFolders folders;
    FakeHost host;
    std::shared_ptr<matchbay> plugin = std::make_shared<matchbay>();

    // Before load: tests may preset console variables or script the firewall first.
    virtual void BeforeLoad() {}

    void SetUp() override
    {
        host.attach(*plugin);
        plugin->autoConnectDelay = std::chrono::milliseconds(300);
        BeforeLoad();
        plugin->onLoad();
        ASSERT_TRUE(plugin->WaitForReverseProxyIdle(std::chrono::seconds(20)));
    }
    void TearDown() override { plugin->onUnload(); }

    // The proxy list request sent at load.
    size_t listRequest()
    {
        EXPECT_TRUE(host.http->waitForRequests(1));
        const auto requests = host.http->requests();
        for (size_t i = 0; i < requests.size(); ++i) {
            if (requests[i].request.url.find("/proxy") != std::string::npos) {
                return i;
            }
        }
        ADD_FAILURE() << "no proxy list request";
        return 0;
    }
    void answerList(int code, const std::string& body) { host.http->respond(listRequest(), code, body); }
    // The list answered, its ping manager stopped, so tests set latencies themselves.
    void answerListWithoutProbes(const std::string& body)
    {
        answerList(200, body);
        if (plugin->pingManager) {
            plugin->pingManager->Stop();
        }
        for (ProxyServer& server : plugin->proxyServers) {
            server.latency = -1;
        }
    }
    bool idle() { return plugin->WaitForReverseProxyIdle(std::chrono::seconds(20)); }
    std::vector<std::string> messages() const
    {
        std::vector<std::string> out;
        for (const StatusLogEntry& entry : plugin->StatusLogSnapshot()) {
            out.push_back(entry.message);
        }
        return out;
    }
    // Console lines from the first one equal to start (all when start is empty).
    std::vector<std::string> linesFrom(const std::string& start = {}) const
    {
        const auto lines = host.console.lines();
        auto it = lines.begin();
        if (!start.empty()) {
            it = std::find(lines.begin(), lines.end(), start);
        }
        return std::vector<std::string>(it, lines.end());
    }
};

} // namespace kestrel::testing
