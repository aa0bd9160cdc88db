#pragma once
// Measures every proxy server's ICMP latency continuously, one worker thread per server.
#include <atomic>
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

    // servers: the controller's list; it must not change size while the manager runs.
    bool Start(std::vector<ProxyServer>* servers);
    void Stop();

private:
    void PingWorker(ProxyServer& server);
    static std::string ResolveAddress(const std::string& address);

    std::vector<std::thread> workers;
    std::atomic<bool> running{false};
    std::atomic<bool> stopRequested{false};
    std::vector<ProxyServer>* servers = nullptr;
};
