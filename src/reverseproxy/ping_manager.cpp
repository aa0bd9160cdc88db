#include "reverseproxy/ping_manager.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "platform/icmp_echo.h"
#include "platform/name_resolution.h"
#include "platform/thread_priority.h"
#include "plugin/logging.h"

namespace {

constexpr std::uint32_t kEchoTimeoutMs = 1000;
constexpr int kPauseSteps = 50;
constexpr auto kPauseStep = std::chrono::milliseconds(100);

// The echo payload: the marker text, zero-padded to 32 bytes.
constexpr char kPayload[32] = "ReverseProxyPing";

} // namespace

PingManager::~PingManager()
{
    Stop();
    workers.clear();
}

bool PingManager::Start(std::vector<ProxyServer>* list)
{
    if (running) {
        LogLine("PingManager already running");
        return false;
    }
    if (!list || list->empty()) {
        LogLine("No servers provided to PingManager");
        return false;
    }
    servers = list;
    stopRequested = false;
    running = true;
    const std::size_t count = std::min(servers->size(), maxServers);
    for (std::size_t i = 0; i < count; ++i) workers.emplace_back(&PingManager::PingWorker, this, std::ref((*servers)[i]));
    LogLine("PingManager started with " + std::to_string(workers.size()) + " worker threads");
    return true;
}

void PingManager::Stop()
{
    if (!running) return;
    stopRequested = true;
    for (auto& worker : workers) {
        if (worker.joinable()) worker.join();
    }
    workers.clear();
    running = false;
    servers = nullptr;
    LogLine("PingManager stopped");
}

std::string PingManager::ResolveAddress(const std::string& address) const
{
    // A stop must not wait for a resolver that never answers: the unload waits for this worker.
    return platform::ResolveIPv4(address, [this] { return stopRequested.load(); });
}

void PingManager::PingWorker(ProxyServer& server)
{
    platform::LowerCurrentThreadPriority();
    // Only this worker writes latency; name and address stay as they were at Start.
    const std::string name = server.name;
    const std::string address = server.address;
    LogLine("Ping worker started for server: " + name);
    while (!stopRequested) {
        std::string ip = ResolveAddress(address);
        // A lookup cut short by the stop says nothing about the server.
        if (stopRequested) break;
        std::int32_t result = ip.empty() ? -1 : platform::IcmpEcho(ip, kPayload, sizeof kPayload, kEchoTimeoutMs);
        server.latency = result;
        if (result == -1) {
            LogLine("Ping to " + name + " (" + address + ") failed");
        } else {
            LogLine("Ping to " + name + " (" + address + "): " + std::to_string(result) + "ms");
        }
        for (int step = 0; step < kPauseSteps && !stopRequested; ++step) std::this_thread::sleep_for(kPauseStep);
    }
    LogLine("Ping worker stopped for server: " + name);
}
