#include "tunnel_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tunnel_protocol.h"

namespace tunnel {

TunnelServer::TunnelServer(std::string address, int port, std::string token)
    : address(std::move(address)), port(port), token(std::move(token))
{
}

TunnelServer::~TunnelServer() { Stop(); }

bool TunnelServer::Start(std::string& error)
{
    listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &bound.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        close(listener);
        listener = -1;
        return false;
    }
    if (bind(listener, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 || listen(listener, 16) != 0) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        close(listener);
        listener = -1;
        return false;
    }
    socklen_t size = sizeof bound;
    getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &size);
    port = ntohs(bound.sin_port);
    acceptor = std::thread([this] { AcceptLoop(); });
    return true;
}

void TunnelServer::Stop()
{
    stopping = true;
    if (acceptor.joinable()) acceptor.join();
    std::list<std::thread> ending;
    {
        std::lock_guard lock(mutex);
        ending.swap(sessions);
    }
    for (auto& session : ending) session.join();
    if (listener >= 0) close(listener);
    listener = -1;
}

// Every wait is bounded so that Stop is noticed.
void TunnelServer::AcceptLoop()
{
    while (!stopping) {
        pollfd waiting{listener, POLLIN, 0};
        if (poll(&waiting, 1, 100) <= 0) continue;
        int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::lock_guard lock(mutex);
        sessions.emplace_back([this, client] { Serve(client); });
    }
}

void TunnelServer::Serve(int client)
{
    int udp = -1;
    auto finish = [&] {
        if (udp >= 0) close(udp);
        close(client);
    };
    auto login = ReceiveFrame(client);
    if (!login || login->type != kLogin) return finish();
    if (login->payload != token) {
        SendFrame(client, kLoginFailed, "token in login doesn't match token from configuration");
        return finish();
    }
    SendFrame(client, kLoginOk, "");
    char buffer[65536];
    while (!stopping) {
        pollfd waiting[2] = {{client, POLLIN, 0}, {udp, POLLIN, 0}};
        int ready = poll(waiting, udp >= 0 ? 2 : 1, 100);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (udp >= 0 && (waiting[1].revents & POLLIN)) {
            sockaddr_in peer{};
            socklen_t size = sizeof peer;
            ssize_t got = recvfrom(udp, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&peer), &size);
            if (got >= 0 && relaying) {
                std::string payload = PeerTag(peer.sin_addr.s_addr, peer.sin_port) + std::string(buffer, static_cast<size_t>(got));
                if (!SendFrame(client, kDatagram, payload)) break;
            }
        }
        if (!(waiting[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        auto frame = ReceiveFrame(client);
        if (!frame) break;
        if (frame->type == kProxy) {
            // "<name>\n<type>\n<remotePort>"
            auto first = frame->payload.find('\n');
            auto second = frame->payload.find('\n', first == std::string::npos ? 0 : first + 1);
            std::string name = frame->payload.substr(0, first);
            std::string type = first == std::string::npos ? "" : frame->payload.substr(first + 1, second - first - 1);
            int remotePort = second == std::string::npos ? 0 : std::atoi(frame->payload.c_str() + second + 1);
            if (type != "udp") {
                SendFrame(client, kProxyFailed, name + "\nproxy type '" + type + "' is not supported here");
                continue;
            }
            if (udp >= 0) {
                SendFrame(client, kProxyFailed, name + "\nproxy [" + name + "] already exists");
                continue;
            }
            int candidate = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            sockaddr_in bound{};
            bound.sin_family = AF_INET;
            bound.sin_port = htons(static_cast<uint16_t>(remotePort));
            inet_pton(AF_INET, address.c_str(), &bound.sin_addr);
            if (remotePort <= 0 || remotePort > 65535 ||
                bind(candidate, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0) {
                close(candidate);
                SendFrame(client, kProxyFailed, name + "\nport already used");
                continue;
            }
            udp = candidate;
            SendFrame(client, kProxyOk, name);
        } else if (frame->type == kDatagram && udp >= 0 && frame->payload.size() >= 6) {
            sockaddr_in peer{};
            peer.sin_family = AF_INET;
            ReadPeerTag(frame->payload, peer.sin_addr.s_addr, peer.sin_port);
            sendto(udp, frame->payload.data() + 6, frame->payload.size() - 6, 0, reinterpret_cast<sockaddr*>(&peer),
                   sizeof peer);
        }
    }
    finish();
}

} // namespace tunnel
