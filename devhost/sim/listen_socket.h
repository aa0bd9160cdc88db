#pragma once
// The simulated game's listen server: a UDP socket (on loopback unless told) that answers every
// datagram with the same bytes, so a tunnel in front of it can be tested end to end.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace devhost {

class ListenSocket {
public:
    ListenSocket() = default;
    ~ListenSocket();
    ListenSocket(const ListenSocket&) = delete;
    ListenSocket& operator=(const ListenSocket&) = delete;

    // Binds address:port (an IPv4 literal) and starts answering. Returns an error text on failure.
    std::string open(const std::string& address, int port);
    // Stops answering and closes the socket; returns how many datagrams were answered.
    std::uint64_t close();
    bool isOpen() const { return fd >= 0; }

private:
    void run();

    int fd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::atomic<std::uint64_t> answered{0};
    std::thread thread;
};

} // namespace devhost
