#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

bool ToAddress(const std::string& ipv4, std::uint16_t port, sockaddr_in& address)
{
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    return inet_pton(AF_INET, ipv4.c_str(), &address.sin_addr) == 1;
}

} // namespace

struct UdpSocket::Impl {
    int fd = -1;
};

UdpSocket::UdpSocket() : impl(std::make_unique<Impl>())
{
    impl->fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (impl->fd < 0) lastError = std::string("socket: ") + std::strerror(errno);
}

UdpSocket::~UdpSocket()
{
    if (impl->fd >= 0) close(impl->fd);
}

UdpBind UdpSocket::Bind(const std::string& ipv4, std::uint16_t port)
{
    if (impl->fd < 0) return UdpBind::Failed;
    sockaddr_in address{};
    if (!ToAddress(ipv4, port, address)) {
        lastError = "not an IPv4 address: " + ipv4;
        return UdpBind::Failed;
    }
    if (bind(impl->fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return UdpBind::Bound;
    const int error = errno;
    lastError = std::string("bind: ") + std::strerror(error);
    return error == EADDRINUSE ? UdpBind::InUse : UdpBind::Failed;
}

bool UdpSocket::SendTo(const std::string& ipv4, std::uint16_t port, const void* data, std::size_t size)
{
    if (impl->fd < 0) return false;
    sockaddr_in address{};
    if (!ToAddress(ipv4, port, address)) {
        lastError = "not an IPv4 address: " + ipv4;
        return false;
    }
    const ssize_t sent = sendto(impl->fd, data, size, 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (sent < 0 || static_cast<std::size_t>(sent) != size) {
        lastError = std::string("sendto: ") + std::strerror(errno);
        return false;
    }
    return true;
}

std::optional<std::string> UdpSocket::Receive(std::uint32_t timeoutMs)
{
    if (impl->fd < 0) return std::nullopt;
    pollfd waiting{impl->fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = poll(&waiting, 1, static_cast<int>(timeoutMs));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        if (ready < 0) lastError = std::string("poll: ") + std::strerror(errno);
        return std::nullopt;
    }
    char buffer[2048];
    const ssize_t got = recv(impl->fd, buffer, sizeof buffer, 0);
    if (got < 0) {
        // A port unreachable answer to an earlier send shows up here on Linux.
        lastError = std::string("recv: ") + std::strerror(errno);
        return std::nullopt;
    }
    return std::string(buffer, static_cast<std::size_t>(got));
}

std::uint16_t UdpSocket::LocalPort() const
{
    if (impl->fd < 0) return 0;
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(impl->fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
    return ntohs(address.sin_port);
}

} // namespace platform
