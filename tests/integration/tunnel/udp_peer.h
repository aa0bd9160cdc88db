#pragma once
// A loopback UDP socket for the tests: send to an address, receive with a time-out.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <string>

struct UdpPeer {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ~UdpPeer() { close(fd); }
    // 0 picks a free port; returns the bound port, or 0 when it is taken.
    int Bind(const char* address, int port)
    {
        sockaddr_in bound{};
        bound.sin_family = AF_INET;
        bound.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, address, &bound.sin_addr);
        if (bind(fd, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0) return 0;
        socklen_t size = sizeof bound;
        getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
        return ntohs(bound.sin_port);
    }
    void SendTo(const char* address, int port, const std::string& data)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, address, &to.sin_addr);
        sendto(fd, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    // The next datagram and its sender, or nullopt after timeoutMs.
    std::optional<std::string> Receive(int timeoutMs, sockaddr_in* from = nullptr)
    {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, timeoutMs) <= 0) return std::nullopt;
        char buffer[2048];
        sockaddr_in sender{};
        socklen_t size = sizeof sender;
        ssize_t got = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &size);
        if (got < 0) return std::nullopt;
        if (from) *from = sender;
        return std::string(buffer, static_cast<size_t>(got));
    }
};
