#pragma once
// One IPv4 UDP socket: bind, send a datagram, wait for one. Berkeley sockets on Linux,
// Winsock on Windows (bound exclusively there, so a port the game holds is seen as taken).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

enum class UdpBind {
    Bound,
    InUse,  // another socket holds the address and port
    Failed, // any other reason; see LastError
};

class UdpSocket {
public:
    UdpSocket();
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // ipv4 is dotted; port 0 takes a free one (LocalPort tells which).
    UdpBind Bind(const std::string& ipv4, std::uint16_t port);
    // Sends from the bound address, or from any free port when not bound yet.
    bool SendTo(const std::string& ipv4, std::uint16_t port, const void* data, std::size_t size);
    // The next datagram, waiting at most timeoutMs; nullopt on time-out or failure.
    std::optional<std::string> Receive(std::uint32_t timeoutMs);
    std::uint16_t LocalPort() const;
    // The system's wording of the last failure.
    const std::string& LastError() const { return lastError; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
    std::string lastError;
};

} // namespace platform
