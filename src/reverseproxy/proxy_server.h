#pragma once
// One proxy server of the reverse proxy: filled from the proxy list, probed by the ping
// workers, connected to by the tunnel client manager, shown by the panel.
#include <atomic>
#include <cstdint>
#include <string>

struct ProxyServer {
    std::string name;      // display name (list key "name")
    std::string address;   // host name or dotted IPv4 address (key "address")
    std::int32_t port = 7000; // port of the tunnel server on the proxy (key "port")
    std::string authToken; // tunnel authentication token, may be empty (key "authToken")
    // Last echo reply time in ms, -1 = not measured yet or the last probe failed. Written by
    // the one ping worker of this record while others read it, hence atomic.
    std::atomic<std::int32_t> latency{-1};
    bool isConnected = false; // true only on the server the tunnel currently runs to

    ProxyServer() = default;
    ProxyServer(std::string name, std::string address, std::int32_t port, std::string authToken)
        : name(std::move(name)), address(std::move(address)), port(port), authToken(std::move(authToken)) {}
    // Copies (the panel draws from one) carry the latency as it was read.
    ProxyServer(const ProxyServer& other)
        : name(other.name), address(other.address), port(other.port), authToken(other.authToken),
          latency(other.latency.load()), isConnected(other.isConnected) {}
    ProxyServer& operator=(const ProxyServer& other)
    {
        name = other.name;
        address = other.address;
        port = other.port;
        authToken = other.authToken;
        latency.store(other.latency.load());
        isConnected = other.isConnected;
        return *this;
    }
};

// The record used when no list can be loaded.
inline ProxyServer DefaultProxyServer() { return ProxyServer("Default Server", "127.0.0.1", 7000, ""); }
