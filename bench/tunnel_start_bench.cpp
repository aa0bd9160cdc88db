// FRPClientManager::Start on loopback (port service request, configuration file, process start)
// until the client prints its first line, beside a bare spawn of the same client program with
// the same file until the same line: the ratio is what the manager adds to starting a process.
#include <benchmark/benchmark.h>

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "fake_host.h"
#include "platform/child_process.h"
#include "plugin/logging.h"
#include "ratio_reporter.h"
#include "reverseproxy/frp_client_manager.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Set by the reader thread of whichever child runs, waited for by the benchmark.
class FirstLine {
public:
    void Reset()
    {
        std::lock_guard lock(mutex);
        seen = false;
    }
    void Arrived()
    {
        std::lock_guard lock(mutex);
        seen = true;
        changed.notify_all();
    }
    bool Wait()
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [this] { return seen; });
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool seen = false;
};

// The stand-in client where the manager looks for it, a loopback port service, and the
// application-data and temporary folders of this run, removed at the end.
struct TunnelSetup {
    kestrel::testing::FakeHost host;
    fs::path root = fs::temp_directory_path() / ("kestrel-tunnel-bench-" + std::to_string(std::random_device{}()));
    httplib::Server portService;
    std::thread serviceThread;
    int servicePort = 0;

    TunnelSetup()
    {
        globalCvarManager = host.cvarManager;
        setenv("KESTREL_APPDATA", (root / "appdata").c_str(), 1);
        setenv("KESTREL_TEMP", (root / "temp").c_str(), 1);
        const fs::path client = root / "appdata/bakkesmod/bakkesmod/data/ReverseProxy/frpc.exe";
        fs::create_directories(client.parent_path());
        fs::copy_file(KESTREL_TUNNEL_CLIENT_PATH, client);
        portService.Get("/get-port", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("{\"port\": 47990}", "application/json");
        });
        servicePort = portService.bind_to_any_port("127.0.0.1");
        serviceThread = std::thread([this] { portService.listen_after_bind(); });
        while (!portService.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~TunnelSetup()
    {
        portService.stop();
        serviceThread.join();
        globalCvarManager.reset();
        unsetenv("KESTREL_APPDATA");
        unsetenv("KESTREL_TEMP");
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    fs::path ClientPath() const { return root / "appdata/bakkesmod/bakkesmod/data/ReverseProxy/frpc.exe"; }
    fs::path ConfigPath() const { return root / "temp/ReverseProxy/frpc_config.toml"; }
};

// No tunnel server listens at the proxy's address: the client's first line comes before it dials.
const ProxyServer kProxy("Bench", "127.0.0.1", 9, "");

void ManagerStart(benchmark::State& state)
{
    TunnelSetup setup;
    FirstLine first;
    FRPClientManager manager;
    manager.SetPortServiceUrl("http://127.0.0.1:" + std::to_string(setup.servicePort));
    manager.SetProcessCallbacks({[&](const std::string&) { first.Arrived(); }, {}});
    if (!manager.Initialize()) {
        state.SkipWithError("the stand-in client is not where the manager looks");
        return;
    }
    for (auto _ : state) {
        first.Reset();
        const auto start = Clock::now();
        if (!manager.Start(kProxy, 7777) || !first.Wait()) {
            state.SkipWithError(("the client did not start: " + manager.GetLastError()).c_str());
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        manager.Stop();
    }
}

void BareSpawn(benchmark::State& state)
{
    TunnelSetup setup;
    {
        // The same configuration file the manager writes, written once.
        FRPClientManager manager;
        manager.SetPortServiceUrl("http://127.0.0.1:" + std::to_string(setup.servicePort));
        if (!manager.Initialize() || !manager.Start(kProxy, 7777)) {
            state.SkipWithError("the manager could not write the configuration");
            return;
        }
        manager.Stop();
    }
    int error = 0;
    auto group = platform::ProcessGroup::Create(error);
    FirstLine first;
    for (auto _ : state) {
        first.Reset();
        const auto start = Clock::now();
        auto child = platform::ChildProcess::Start(setup.ClientPath(), {"-c", setup.ConfigPath().string()}, group.get(),
                                                   {[&](const std::string&) { first.Arrived(); }, {}}, error);
        if (!child || !first.Wait()) {
            state.SkipWithError("the client did not start");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        child->Terminate();
    }
}

BENCHMARK(BareSpawn)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(ManagerStart)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) { return kestrel::bench::RunWithRatios(argc, argv, "BareSpawn/manual_time"); }
