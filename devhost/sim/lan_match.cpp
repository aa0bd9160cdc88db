#include "sim/lan_match.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include <fmt/format.h>

#include "console/words.h"
#include "output.h"
#include "sim/lan_protocol.h"

namespace devhost {

namespace {

constexpr int kJoinAnswerWaitMs = 1000;

// IPv4 literals and "localhost" only: the simulation asks no name server.
std::optional<in_addr> Resolve(const std::string& host)
{
    in_addr address{};
    if (ToLower(host) == "localhost") return in_addr{htonl(INADDR_LOOPBACK)};
    if (inet_pton(AF_INET, host.c_str(), &address) == 1) return address;
    return std::nullopt;
}

} // namespace

std::string TravelOption(const std::string& command, const std::string& key)
{
    const size_t at = ToLower(command).find("?" + ToLower(key) + "=");
    if (at == std::string::npos) return {};
    const size_t start = at + key.size() + 2;
    const size_t end = command.find('?', start);
    return command.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::optional<LanAddress> ParseLanJoinCommand(const std::string& command)
{
    if (ToLower(command.substr(0, 5)) != "open ") return std::nullopt;
    const size_t question = command.find('?', 5);
    const std::string target = command.substr(5, question == std::string::npos ? std::string::npos : question - 5);
    const size_t colon = target.rfind(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    const auto port = ParseInteger(target.substr(colon + 1), 1, 65535);
    if (!port) return std::nullopt;
    return LanAddress{target.substr(0, colon), static_cast<int>(*port), TravelOption(command, "password")};
}

LanMatch::LanMatch(std::string playerName, AllowedNetworks allowed)
    : playerName(std::move(playerName)), allowed(std::move(allowed))
{
}

LanMatch::~LanMatch() { Leave(); }

void LanMatch::Join(const LanAddress& address)
{
    Leave();
    const std::string shown = address.Text();
    const std::optional<in_addr> resolved = Resolve(address.host);
    if (!resolved) {
        PrintLine("[game] could not reach " + shown + " (the simulated game resolves no host names)");
        return;
    }
    if (!allowed.Allows(ntohl(resolved->s_addr))) {
        PrintLine("[game] could not reach " + shown +
                  " (the simulated game sends only to loopback and the networks of --allow-join)");
        return;
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(address.port));
    target.sin_addr = *resolved;
    int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0 || connect(sock, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        if (sock >= 0) close(sock);
        PrintLine("[game] could not reach " + shown);
        return;
    }
    const std::string request = LanJoinDatagram({playerName, address.password});
    const auto sent = std::chrono::steady_clock::now();
    std::string answer;
    pollfd p{sock, POLLIN, 0};
    if (send(sock, request.data(), request.size(), 0) >= 0 && poll(&p, 1, kJoinAnswerWaitMs) > 0) {
        char buffer[512];
        const ssize_t got = recv(sock, buffer, sizeof buffer, 0);
        if (got > 0) answer.assign(buffer, static_cast<size_t>(got));
    }
    const std::chrono::duration<double, std::milli> roundTrip = std::chrono::steady_clock::now() - sent;
    if (answer == kLanWelcome) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            joined = shown;
            fd = sock;
        }
        PrintLine("[game] joined LAN match at " + shown);
        PrintLine(fmt::format("[game] join round trip {:.2f} ms", roundTrip.count()));
        return;
    }
    close(sock);
    if (answer == kLanWrongPassword) PrintLine("[game] wrong password for " + shown);
    else if (answer == kLanFull) PrintLine("[game] the LAN match at " + shown + " is full");
    else if (answer.empty()) PrintLine("[game] could not reach " + shown);
    else PrintLine("[game] could not reach " + shown + " (the answer was not a LAN match's)");
}

void LanMatch::Leave()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!joined) return;
    // Fire and forget: a server that is gone does not hold up the next travel.
    const std::string goodbye = LanLeaveDatagram(playerName);
    [[maybe_unused]] ssize_t sent = send(fd, goodbye.data(), goodbye.size(), 0);
    close(fd);
    fd = -1;
    PrintLine("[game] left LAN match at " + *joined);
    joined.reset();
}

std::optional<std::string> LanMatch::JoinedAddress() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return joined;
}

} // namespace devhost
