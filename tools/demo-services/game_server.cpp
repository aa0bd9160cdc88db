#include "game_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace demo {

GameServer::GameServer(std::vector<GamePlayer> startPlayers) : initialPlayers(startPlayers), players(std::move(startPlayers))
{
    int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int pipeFds[2];
    if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0 || pipe2(pipeFds, O_CLOEXEC) != 0) {
        close(sock);
        return;
    }
    fd = sock;
    wakeRead = pipeFds[0];
    wakeWrite = pipeFds[1];
    boundPort = ntohs(address.sin_port);
    thread = std::thread([this] { Run(); });
}

GameServer::~GameServer()
{
    if (fd < 0) return;
    char byte = 1;
    [[maybe_unused]] ssize_t written = write(wakeWrite, &byte, 1);
    thread.join();
    close(fd);
    close(wakeRead);
    close(wakeWrite);
}

std::string GameServer::Describe() const
{
    std::lock_guard<std::mutex> lock(mutex);
    std::string text = "kestrel-game-server";
    for (const auto& player : players) text += "\n" + std::string(player.bot ? "bot:" : "") + player.name;
    return text;
}

bool GameServer::Apply(const std::string& command, const std::string& player, int newSpeed, std::string& effect)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (command == "lock") {
        locked = true;
        effect = "locked";
    } else if (command == "restart") {
        players = initialPlayers;
        paused = false;
        ++restarts;
        effect = "restarted";
    } else if (command == "pause") {
        paused = !paused;
        effect = paused ? "paused" : "resumed";
    } else if (command == "gs") {
        if (newSpeed < 1 || newSpeed > 1000) {
            effect = "game speed must be from 1 to 1000";
            return false;
        }
        speed = newSpeed;
        effect = "game speed " + std::to_string(speed);
    } else if (command == "kick") {
        auto found = std::find_if(players.begin(), players.end(), [&](const GamePlayer& p) { return p.name == player; });
        if (found == players.end()) {
            effect = "no player " + player;
            return false;
        }
        players.erase(found);
        effect = "kicked " + player;
    } else {
        effect = "unknown command " + command;
        return false;
    }
    return true;
}

std::vector<GamePlayer> GameServer::Players() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return players;
}

bool GameServer::Locked() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return locked;
}

bool GameServer::Paused() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return paused;
}

int GameServer::Speed() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return speed;
}

int GameServer::Restarts() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return restarts;
}

void GameServer::Run()
{
    char buffer[2048];
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
        if (recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength) < 0) continue;
        const std::string reply = Describe();
        sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    }
}

} // namespace demo
