#include "platform/name_resolution.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace platform {

bool IsIPv4Address(const std::string& text)
{
    in_addr parsed{};
    // inet_aton accepts the same short forms ("127.1") as Windows' inet_addr.
    return !text.empty() && inet_aton(text.c_str(), &parsed) != 0;
}

std::string ResolveIPv4(const std::string& text)
{
    if (IsIPv4Address(text)) return text;
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
