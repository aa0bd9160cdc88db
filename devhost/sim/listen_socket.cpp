#include "sim/listen_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace devhost {

namespace {

std::string SourceText(const sockaddr_storage& from)
{
    if (from.ss_family != AF_INET) return "?";
    const auto& address = reinterpret_cast<const sockaddr_in&>(from);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

} // namespace

ListenSocket::~ListenSocket() { close(); }

std::string ListenSocket::open(const std::string& listenAddress, int port, Answer answerWith)
{
    close();
    answer = std::move(answerWith);
    in_addr bound{};
    if (inet_pton(AF_INET, listenAddress.c_str(), &bound) != 1) return "not an IPv4 address: " + listenAddress;
    int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0) return std::string("socket: ") + std::strerror(errno);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr = bound;
    if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::string error = std::strerror(errno);
        ::close(sock);
        return error;
    }
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        std::string error = std::strerror(errno);
        ::close(sock);
        return error;
    }
    fd = sock;
    wakeRead = pipeFds[0];
    wakeWrite = pipeFds[1];
    answered = 0;
    thread = std::thread([this] { run(); });
    return {};
}

std::uint64_t ListenSocket::close()
{
    if (fd < 0) return 0;
    char byte = 1;
    [[maybe_unused]] ssize_t written = write(wakeWrite, &byte, 1);
    thread.join();
    ::close(fd);
    ::close(wakeRead);
    ::close(wakeWrite);
    fd = wakeRead = wakeWrite = -1;
    return answered.load();
}

void ListenSocket::run()
{
    char buffer[65536];
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeRead, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        ssize_t got = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0) continue;
        const std::string_view datagram(buffer, static_cast<size_t>(got));
        const std::string reply = answer ? answer(datagram, SourceText(from)) : std::string(datagram);
        if (sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength) >= 0)
            ++answered;
    }
}

} // namespace devhost
