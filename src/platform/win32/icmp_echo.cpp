#include "platform/icmp_echo.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstdlib>

namespace platform {

std::int32_t IcmpEcho(const std::string& ipv4, const void* data, std::size_t size, std::uint32_t timeoutMs)
{
    HANDLE icmp = IcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE) return -1;
    unsigned long destination = inet_addr(ipv4.c_str());
    if (destination == INADDR_NONE) {
        IcmpCloseHandle(icmp);
        return -1;
    }
    // One reply, its payload and room for an ICMP error.
    DWORD replySize = static_cast<DWORD>(sizeof(ICMP_ECHO_REPLY) + size + 8);
    void* reply = std::malloc(replySize);
    if (!reply) {
        IcmpCloseHandle(icmp);
        return -1;
    }
    DWORD count = IcmpSendEcho(icmp, destination, const_cast<void*>(data), static_cast<WORD>(size), nullptr, reply,
                               replySize, timeoutMs);
    auto* echo = static_cast<ICMP_ECHO_REPLY*>(reply);
    std::int32_t result = count != 0 && echo->Status == IP_SUCCESS ? static_cast<std::int32_t>(echo->RoundTripTime) : -1;
    std::free(reply);
    IcmpCloseHandle(icmp);
    return result;
}

} // namespace platform
