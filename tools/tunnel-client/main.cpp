// tunnel-client -c <file>: a stand-in for the FRP client. Logs in to tunnel-server with the
// file's token, asks for each UDP proxy's remote port and relays datagrams between the server
// and localIP:localPort, printing the real client's lines for login and proxy start.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "client_config.h"
#include "socket_compat.h"
#include "tunnel_protocol.h"

namespace {

using Clock = std::chrono::steady_clock;

void Print(char level, const std::string& text)
{
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&seconds));
    std::printf("%s.%03d [%c] %s\n", stamp, static_cast<int>(millis), level, text.c_str());
    std::fflush(stdout);
}

int Connect(const std::string& address, int port, std::string& error)
{
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &server.sin_addr) != 1) {
        error = "dial tcp " + address + ":" + std::to_string(port) + ": not an IPv4 address";
        return -1;
    }
    int sock = tunnel::OpenSocket(SOCK_STREAM);
    if (sock < 0 || tunnel::ConnectTo(sock, server) != 0) {
        error = "dial tcp " + address + ":" + std::to_string(port) + ": connect: " + tunnel::LastSocketError();
        if (sock >= 0) tunnel::CloseSocket(sock);
        return -1;
    }
    return sock;
}

struct Proxy {
    tunnel::ProxyConfig config;
    bool started = false;
    Clock::time_point retryAt{};
};

// One local UDP socket per public peer, so the local server's answers find their way back.
struct Peer {
    int sock;
    std::string tag;
};

enum class SessionEnd { LoginFailed, Lost };

SessionEnd RunSession(int server, std::vector<Proxy>& proxies)
{
    std::map<std::string, Peer> peers;
    const tunnel::ProxyConfig* relay = nullptr;
    for (auto& proxy : proxies) {
        if (proxy.config.type == "udp") relay = &proxy.config;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (relay) {
        local.sin_port = htons(static_cast<uint16_t>(relay->localPort));
        inet_pton(AF_INET, relay->localIP.c_str(), &local.sin_addr);
    }
    char buffer[65536];
    for (;;) {
        auto now = Clock::now();
        for (auto& proxy : proxies) {
            if (proxy.started || now < proxy.retryAt) continue;
            proxy.retryAt = now + std::chrono::seconds(3);
            std::string request = proxy.config.name + "\n" + proxy.config.type + "\n" + std::to_string(proxy.config.remotePort);
            if (!tunnel::SendFrame(server, tunnel::kProxy, request)) return SessionEnd::Lost;
        }
        std::vector<pollfd> waiting{tunnel::PollEntry(server, POLLIN)};
        std::vector<Peer*> order;
        for (auto& [tag, peer] : peers) {
            waiting.push_back(tunnel::PollEntry(peer.sock, POLLIN));
            order.push_back(&peer);
        }
        int ready = tunnel::Poll(waiting.data(), waiting.size(), 200);
        if (ready < 0 && !tunnel::Interrupted()) return SessionEnd::Lost;
        if (ready <= 0) continue;
        for (size_t i = 1; i < waiting.size(); ++i) {
            if (!(waiting[i].revents & POLLIN)) continue;
            long got = tunnel::ReceiveSome(order[i - 1]->sock, buffer, sizeof buffer);
            if (got < 0) continue;
            if (!tunnel::SendFrame(server, tunnel::kDatagram, order[i - 1]->tag + std::string(buffer, static_cast<size_t>(got))))
                return SessionEnd::Lost;
        }
        if (!(waiting[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        auto frame = tunnel::ReceiveFrame(server);
        if (!frame) return SessionEnd::Lost;
        if (frame->type == tunnel::kProxyOk) {
            for (auto& proxy : proxies) {
                if (proxy.config.name == frame->payload) proxy.started = true;
            }
            Print('I', "[" + frame->payload + "] start proxy success");
        } else if (frame->type == tunnel::kProxyFailed) {
            auto split = frame->payload.find('\n');
            Print('W', "[" + frame->payload.substr(0, split) + "] start error: " +
                           (split == std::string::npos ? std::string() : frame->payload.substr(split + 1)));
        } else if (frame->type == tunnel::kDatagram && relay && frame->payload.size() >= 6) {
            std::string tag = frame->payload.substr(0, 6);
            auto found = peers.find(tag);
            if (found == peers.end()) {
                int sock = tunnel::OpenSocket(SOCK_DGRAM);
                tunnel::ConnectTo(sock, local);
                found = peers.emplace(tag, Peer{sock, tag}).first;
            }
            tunnel::SendSome(found->second.sock, frame->payload.data() + 6, frame->payload.size() - 6);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string path;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if ((arg == "-c" || arg == "--config") && i + 1 < argc) {
            path = argv[++i];
        } else {
            std::fprintf(stderr, "usage: tunnel-client -c <config.toml>\n");
            return 1;
        }
    }
    if (path.empty()) {
        std::fprintf(stderr, "usage: tunnel-client -c <config.toml>\n");
        return 1;
    }
    std::string error;
    auto config = tunnel::ReadClientConfig(path, error);
    if (!config) {
        std::printf("%s\n", error.c_str());
        std::fflush(stdout);
        return 1;
    }
    if (!tunnel::StartSockets()) {
        std::printf("cannot start the socket library\n");
        return 1;
    }
    std::vector<Proxy> proxies;
    for (const auto& proxy : config->proxies) proxies.push_back({proxy});
    Print('I', "start frpc service for config file [" + path + "]");
    bool firstLogin = true;
    for (;;) {
        int server = Connect(config->serverAddr, config->serverPort, error);
        std::optional<tunnel::Frame> answer;
        if (server >= 0 && tunnel::SendFrame(server, tunnel::kLogin, config->token)) answer = tunnel::ReceiveFrame(server);
        if (server >= 0 && !answer) error = "EOF";
        if (answer && answer->type == tunnel::kLoginFailed) error = answer->payload;
        if (!answer || answer->type != tunnel::kLoginOk) {
            if (server >= 0) tunnel::CloseSocket(server);
            if (firstLogin && config->loginFailExit) {
                Print('W', "login to the server failed: " + error +
                               ". With loginFailExit enabled, no additional retries will be attempted");
                return 1;
            }
            Print('W', "connect to server error: " + error);
            std::this_thread::sleep_for(std::chrono::seconds(2));
            continue;
        }
        firstLogin = false;
        Print('I', "login to server success");
        for (auto& proxy : proxies) {
            proxy.started = false;
            proxy.retryAt = {};
        }
        RunSession(server, proxies);
        tunnel::CloseSocket(server);
        Print('W', "connection to server lost, trying to reconnect");
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}
