#include "platform/name_resolution.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace platform {

namespace {

// Winsock is started once per process and never cleaned up; a failed start is retried on
// the next call.
bool WinsockReady()
{
    static std::mutex mutex;
    static bool started = false;
    std::lock_guard lock(mutex);
    if (!started) {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    return started;
}

} // namespace

bool IsIPv4Address(const std::string& text)
{
    return !text.empty() && inet_addr(text.c_str()) != INADDR_NONE;
}

std::string ResolveIPv4(const std::string& text)
{
    if (IsIPv4Address(text)) return text;
    if (!WinsockReady()) return "";
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0 || !found) return "";
    char buffer[22] = {};
    const char* formatted =
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, buffer, sizeof buffer);
    freeaddrinfo(found);
    return formatted ? std::string(buffer) : std::string();
}

} // namespace platform
