#pragma once
// The stand-in tunnel server (what frps is to frpc): accepts tunnel clients on a TCP port,
// checks their token, binds each client's UDP remotePort on its public address and relays
// datagrams between the public peers and the client.
#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tunnel {

class TunnelServer {
public:
    // address: where clients log in and where the public UDP ports are bound.
    TunnelServer(std::string address, int port, std::string token);
    ~TunnelServer(); // Stop()
    TunnelServer(const TunnelServer&) = delete;
    TunnelServer& operator=(const TunnelServer&) = delete;

    // Binds and starts accepting; false with error set when the port cannot be had.
    bool Start(std::string& error);
    void Stop();
    int Port() const { return port; } // the bound port (useful after asking for 0)
    const std::string& Address() const { return address; }
    // False: logins and proxies still work, but datagrams from public peers are dropped, as a
    // proxy behind a blocking firewall would.
    void SetRelaying(bool relay) { relaying = relay; }

private:
    void AcceptLoop();
    void Serve(int client);

    std::string address;
    int port;
    std::string token;
    int listener = -1;
    std::atomic<bool> stopping{false};
    std::atomic<bool> relaying{true};
    std::thread acceptor;
    std::mutex mutex;
    std::list<std::thread> sessions;
};

} // namespace tunnel
