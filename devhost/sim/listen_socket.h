#pragma once
// The simulated game's listen server: a UDP socket (on loopback unless told) that answers every
// datagram, by default with the same bytes, so a tunnel in front of it can be tested end to end.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace devhost {

class ListenSocket {
public:
    // The answer to one datagram from "address:port"; runs on the socket's own thread.
    using Answer = std::function<std::string(std::string_view datagram, const std::string& from)>;

    ListenSocket() = default;
    ~ListenSocket();
    ListenSocket(const ListenSocket&) = delete;
    ListenSocket& operator=(const ListenSocket&) = delete;

    // Binds address:port (an IPv4 literal) and starts answering, with answer when given, else
    // with an echo. Returns an error text on failure.
    std::string open(const std::string& address, int port, Answer answer = {});
    // Stops answering and closes the socket; returns how many datagrams were answered.
    std::uint64_t close();
    bool isOpen() const { return fd >= 0; }

private:
    void run();

    int fd = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::atomic<std::uint64_t> answered{0};
    Answer answer;
    std::thread thread;
};

} // namespace devhost
