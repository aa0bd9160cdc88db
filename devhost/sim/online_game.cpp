#include "sim/online_game.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "output.h"

namespace devhost {

namespace {

using bakkesmod::host::PlayerRecord;

constexpr int kAnswerWaitMs = 1000;
constexpr auto kPollEvery = std::chrono::milliseconds(300);

// Only loopback: the simulation never sends a datagram off this machine.
std::optional<sockaddr_in> ResolveLoopback(const OnlineAddress& address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(address.host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    sockaddr_in result = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
    freeaddrinfo(found);
    if ((ntohl(result.sin_addr.s_addr) >> 24) != 127) return std::nullopt;
    result.sin_port = htons(static_cast<uint16_t>(address.port));
    return result;
}

// Sends one datagram and waits for the answer; nullopt when none came in time.
std::optional<std::string> Ask(int fd, int waitMs)
{
    const char hello[] = "status";
    if (send(fd, hello, sizeof hello - 1, 0) < 0) return std::nullopt;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return std::nullopt;
    char buffer[4096];
    ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got < 0) return std::nullopt;
    return std::string(buffer, static_cast<size_t>(got));
}

} // namespace

std::optional<OnlineAddress> ParseStartCommand(const std::string& command)
{
    if (command.rfind("start ", 0) != 0) return std::nullopt;
    const std::string target = command.substr(6, command.find('/', 6) - 6);
    const size_t colon = target.rfind(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    const std::string portText = target.substr(colon + 1);
    char* end = nullptr;
    const long port = std::strtol(portText.c_str(), &end, 10);
    if (portText.empty() || *end != '\0' || port < 1 || port > 65535) return std::nullopt;
    return OnlineAddress{target.substr(0, colon), static_cast<int>(port)};
}

std::vector<PlayerRecord> ParseServerPlayers(const std::string& answer)
{
    std::vector<PlayerRecord> players;
    size_t start = answer.find('\n');
    while (start != std::string::npos) {
        ++start;
        size_t end = answer.find('\n', start);
        std::string line = answer.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const bool bot = line.rfind("bot:", 0) == 0;
        if (bot) line.erase(0, 4);
        if (!line.empty()) players.push_back(PlayerRecord{false, line, bot, false});
        start = end;
    }
    return players;
}

OnlineGame::~OnlineGame() { Leave(); }

void OnlineGame::Join(const OnlineAddress& address)
{
    Leave();
    const std::string shown = address.host + ":" + std::to_string(address.port);
    auto target = ResolveLoopback(address);
    int fd = target ? socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0) : -1;
    std::optional<std::string> answer;
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&*target), sizeof *target) == 0) answer = Ask(fd, kAnswerWaitMs);
    if (!answer) {
        if (fd >= 0) close(fd);
        PrintLine("[game] could not reach " + shown + (target ? "" : " (the simulated game reaches loopback addresses only)"));
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        joined = shown;
        serverPlayers = ParseServerPlayers(*answer);
        stopping = false;
    }
    PrintLine("[game] joined online game at " + shown);
    poller = std::thread([this, fd] { Poll(fd); });
}

void OnlineGame::Leave()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        joined.reset();
        serverPlayers.clear();
    }
    wake.notify_all();
    if (poller.joinable()) poller.join();
}

void OnlineGame::Poll(int fd)
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!wake.wait_for(lock, kPollEvery, [this] { return stopping; })) {
        lock.unlock();
        auto answer = Ask(fd, static_cast<int>(kPollEvery.count()));
        lock.lock();
        if (answer && !stopping) serverPlayers = ParseServerPlayers(*answer);
    }
    close(fd);
}

std::optional<std::vector<PlayerRecord>> OnlineGame::Players() const
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!joined) return std::nullopt;
    return serverPlayers;
}

std::optional<std::string> OnlineGame::JoinedAddress() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return joined;
}

} // namespace devhost
