#pragma once
// The stand-in tunnel's wire format between tunnel-client and tunnel-server: frames of
// [type byte][32-bit big-endian length][payload] on one TCP connection.
#include <cstdint>
#include <optional>
#include <string>

namespace tunnel {

enum FrameType : char {
    kLogin = 'L',      // client: the token
    kLoginOk = 'l',    // server: empty
    kLoginFailed = 'E', // server: the reason
    kProxy = 'P',      // client: "<name>\n<type>\n<remotePort>"
    kProxyOk = 'p',    // server: the name
    kProxyFailed = 'Q', // server: "<name>\n<reason>"
    kDatagram = 'D',   // both: 4 bytes IPv4 + 2 bytes port of the public peer, then the datagram
};

constexpr std::uint32_t kMaxFrame = 70000; // a UDP datagram and its peer

struct Frame {
    char type = 0;
    std::string payload;
};

// Whole frames in and out of a connected TCP socket; false / nullopt when it is closed or broken.
bool SendFrame(int socket, char type, const std::string& payload);
std::optional<Frame> ReceiveFrame(int socket);

std::string PeerTag(std::uint32_t addressNetworkOrder, std::uint16_t portNetworkOrder);
void ReadPeerTag(const std::string& payload, std::uint32_t& addressNetworkOrder, std::uint16_t& portNetworkOrder);

} // namespace tunnel
