// The longest drawing-pass frame of the "Reverse Proxy" window while a connect waits on a port
// service that takes the connection and never answers, beside the same window idle. Each
// iteration draws a batch of frames and counts the longest of them, so a frame that waited on
// the network would show up in full rather than averaged away.
#include <benchmark/benchmark.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include <imgui.h>

#include "fake_host.h"
#include "headless_context.h"
#include "plugin/matchbay.h"
#include "ratio_reporter.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFramesPerBatch = 30;

const std::string kProxyList = R"({"servers": [
    {"name": "Bench Proxy A", "address": "127.0.0.1", "port": 7000},
    {"name": "Bench Proxy B", "address": "127.0.0.2", "port": 7000, "token": "t"}]})";

// Listens on loopback and never accepts: the request waits for an answer that never comes.
class SilentPortService {
public:
    SilentPortService()
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
    // Resets the waiting connection, so the connect ends before the plugin unloads.
    void Close()
    {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    ~SilentPortService() { Close(); }

    int fd = -1;
    int port = 0;
};

// The plugin loaded with its own folders, a tunnel client in place, the proxy list answered and
// the firewall ready, so "Connect to Best Server" goes straight to the port service.
struct LoadedPlugin {
    fs::path root = fs::temp_directory_path() / ("kestrel-rp-bench-" + std::to_string(std::random_device{}()));
    SilentPortService service;
    kestrel::testing::FakeHost host;
    std::shared_ptr<matchbay> plugin = std::make_shared<matchbay>();

    LoadedPlugin()
    {
        setenv("KESTREL_APPDATA", (root / "appdata").c_str(), 1);
        setenv("KESTREL_TEMP", (root / "temp").c_str(), 1);
        setenv("KESTREL_PORT_SERVICE_HOST", ("http://127.0.0.1:" + std::to_string(service.port)).c_str(), 1);
        const fs::path client = root / "appdata/bakkesmod/bakkesmod/data/ReverseProxy/frpc.exe";
        fs::create_directories(client.parent_path());
        std::ofstream(client) << "#!/bin/sh\nexec sleep 30\n";
        fs::permissions(client, fs::perms::owner_all);
        host.attach(*plugin);
        plugin->onLoad();
        plugin->WaitForReverseProxyIdle(std::chrono::seconds(20));
        const auto requests = host.http->requests();
        for (size_t i = 0; i < requests.size(); ++i) {
            if (requests[i].request.url.find("/proxy") != std::string::npos) host.http->respond(i, 200, kProxyList);
        }
        plugin->WaitForReverseProxyIdle(std::chrono::seconds(20));
        plugin->firewallStatus = FirewallStatus::Ready;
    }
    ~LoadedPlugin()
    {
        service.Close();
        plugin->onUnload();
        unsetenv("KESTREL_APPDATA");
        unsetenv("KESTREL_TEMP");
        unsetenv("KESTREL_PORT_SERVICE_HOST");
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

void DrawBatches(benchmark::State& state, LoadedPlugin& loaded, kestrel::bench::HeadlessContext& context)
{
    const auto draw = [&] {
        ImGui::SetNextWindowSize(ImVec2(700, 600), ImGuiCond_Always);
        ImGui::Begin("Reverse Proxy");
        loaded.plugin->RenderReverseProxyPanel();
        ImGui::End();
    };
    double longest = 0;
    for (auto _ : state) {
        double batchLongest = 0;
        for (int i = 0; i < kFramesPerBatch; ++i) {
            const auto start = Clock::now();
            context.frame(draw);
            batchLongest = std::max(batchLongest, std::chrono::duration<double>(Clock::now() - start).count());
        }
        state.SetIterationTime(batchLongest);
        longest = std::max(longest, batchLongest);
    }
    state.counters["longest_ms"] = longest * 1000.0;
}

void ReverseProxyWindowIdle(benchmark::State& state)
{
    kestrel::bench::HeadlessContext context;
    LoadedPlugin loaded;
    DrawBatches(state, loaded, context);
    if (loaded.plugin->ReverseProxyBusy()) state.SkipWithError("the idle window had an operation under way");
}

void ReverseProxyWindowConnecting(benchmark::State& state)
{
    kestrel::bench::HeadlessContext context;
    LoadedPlugin loaded;
    loaded.plugin->ConnectToServer(0);
    DrawBatches(state, loaded, context);
    // The whole run drew while the connect waited on the service.
    if (!loaded.plugin->ReverseProxyBusy() ||
        loaded.plugin->DisplayedConnectionStatus() != ConnectionStatus::Connecting)
        state.SkipWithError("the connect was not under way for the whole run");
}

BENCHMARK(ReverseProxyWindowIdle)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ReverseProxyWindowConnecting)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return kestrel::bench::RunWithRatios(argc, argv, "ReverseProxyWindowIdle/manual_time");
}
