#pragma once
// Measures every proxy server's ICMP latency continuously, one worker thread per server, for at
// most maxServers servers.
#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "reverseproxy/proxy_server.h"

class PingManager {
public:
    PingManager() = default;
    ~PingManager(); // Stop(), then releases the workers
    PingManager(const PingManager&) = delete;
    PingManager& operator=(const PingManager&) = delete;

    // A remote list must not decide how many threads the game gets: records past this many get
    // no worker (the controller accepts no more than this from a list anyway).
    static constexpr std::size_t maxServers = 32;

    // servers: the controller's list; it must not change size while the manager runs.
    bool Start(std::vector<ProxyServer>* servers);
    void Stop();

private:
    void PingWorker(ProxyServer& server);
    std::string ResolveAddress(const std::string& address) const;

    std::vector<std::thread> workers;
    std::atomic<bool> running{false};
    std::atomic<bool> stopRequested{false};
    std::vector<ProxyServer>* servers = nullptr;
};
