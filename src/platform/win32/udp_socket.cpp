#include "platform/udp_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>

namespace platform {

namespace {

std::string WsaText(const char* call, int code) { return std::string(call) + ": Winsock error " + std::to_string(code); }

bool ToAddress(const std::string& ipv4, std::uint16_t port, sockaddr_in& address)
{
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    return inet_pton(AF_INET, ipv4.c_str(), &address.sin_addr) == 1;
}

} // namespace

struct UdpSocket::Impl {
    bool started = false;
    SOCKET sock = INVALID_SOCKET;
};

UdpSocket::UdpSocket() : impl(std::make_unique<Impl>())
{
    WSADATA data{};
    const int started = WSAStartup(MAKEWORD(2, 2), &data);
    if (started != 0) {
        lastError = WsaText("WSAStartup", started);
        return;
    }
    impl->started = true;
    impl->sock = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (impl->sock == INVALID_SOCKET) {
        lastError = WsaText("socket", WSAGetLastError());
        return;
    }
    // Without it Windows lets a bind to 127.0.0.1 succeed beside the game's bind to every
    // address, and the datagrams meant for the game would come to this socket.
    BOOL exclusive = TRUE;
    setsockopt(impl->sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
    // An ICMP port unreachable for an earlier send would otherwise fail the next receive.
    BOOL reportReset = FALSE;
    DWORD returned = 0;
    WSAIoctl(impl->sock, SIO_UDP_CONNRESET, &reportReset, sizeof reportReset, nullptr, 0, &returned, nullptr,
             nullptr);
}

UdpSocket::~UdpSocket()
{
    if (impl->sock != INVALID_SOCKET) closesocket(impl->sock);
    if (impl->started) WSACleanup();
}

UdpBind UdpSocket::Bind(const std::string& ipv4, std::uint16_t port)
{
    if (impl->sock == INVALID_SOCKET) return UdpBind::Failed;
    sockaddr_in address{};
    if (!ToAddress(ipv4, port, address)) {
        lastError = "not an IPv4 address: " + ipv4;
        return UdpBind::Failed;
    }
    if (bind(impl->sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return UdpBind::Bound;
    const int error = WSAGetLastError();
    lastError = WsaText("bind", error);
    return error == WSAEADDRINUSE || error == WSAEACCES ? UdpBind::InUse : UdpBind::Failed;
}

bool UdpSocket::SendTo(const std::string& ipv4, std::uint16_t port, const void* data, std::size_t size)
{
    if (impl->sock == INVALID_SOCKET) return false;
    sockaddr_in address{};
    if (!ToAddress(ipv4, port, address)) {
        lastError = "not an IPv4 address: " + ipv4;
        return false;
    }
    const int sent = sendto(impl->sock, static_cast<const char*>(data), static_cast<int>(size), 0,
                            reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (sent == SOCKET_ERROR || static_cast<std::size_t>(sent) != size) {
        lastError = WsaText("sendto", WSAGetLastError());
        return false;
    }
    return true;
}

std::optional<std::string> UdpSocket::Receive(std::uint32_t timeoutMs)
{
    if (impl->sock == INVALID_SOCKET) return std::nullopt;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(impl->sock, &readable);
    timeval wait{};
    wait.tv_sec = static_cast<long>(timeoutMs / 1000);
    wait.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
    const int ready = select(0, &readable, nullptr, nullptr, &wait);
    if (ready <= 0) {
        if (ready == SOCKET_ERROR) lastError = WsaText("select", WSAGetLastError());
        return std::nullopt;
    }
    char buffer[2048];
    const int got = recv(impl->sock, buffer, sizeof buffer, 0);
    if (got == SOCKET_ERROR) {
        lastError = WsaText("recv", WSAGetLastError());
        return std::nullopt;
    }
    return std::string(buffer, static_cast<std::size_t>(got));
}

std::uint16_t UdpSocket::LocalPort() const
{
    if (impl->sock == INVALID_SOCKET) return 0;
    sockaddr_in address{};
    int size = sizeof address;
    if (getsockname(impl->sock, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
    return ntohs(address.sin_port);
}

} // namespace platform
