#pragma once
// Whether this machine lets an unprivileged process send ICMP echoes (a datagram or raw ICMP
// socket). Without it no proxy gets a latency, so tests that need one skip. Windows' echo API
// needs no such socket.
#ifndef _WIN32
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kestrel::testing {

inline bool CanProbe()
{
#ifdef _WIN32
    return true;
#else
    for (int type : {SOCK_DGRAM, SOCK_RAW}) {
        int sock = socket(AF_INET, type, IPPROTO_ICMP);
        if (sock >= 0) {
            close(sock);
            return true;
        }
    }
    return false;
#endif
}

} // namespace kestrel::testing
