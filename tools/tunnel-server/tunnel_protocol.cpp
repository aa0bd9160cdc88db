#include "tunnel_protocol.h"

#include <cstring>

#include "socket_compat.h"

namespace tunnel {

namespace {

bool SendAll(int socket, const char* data, size_t size)
{
    while (size > 0) {
        long sent = SendSome(socket, data, size);
        if (sent < 0 && Interrupted()) continue;
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool ReceiveAll(int socket, char* data, size_t size)
{
    while (size > 0) {
        long got = ReceiveSome(socket, data, size);
        if (got < 0 && Interrupted()) continue;
        if (got <= 0) return false;
        data += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

} // namespace

bool SendFrame(int socket, char type, const std::string& payload)
{
    std::string frame(5, '\0');
    frame[0] = type;
    auto size = static_cast<std::uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i) frame[1 + i] = static_cast<char>(size >> (24 - 8 * i));
    frame += payload;
    return SendAll(socket, frame.data(), frame.size());
}

std::optional<Frame> ReceiveFrame(int socket)
{
    char head[5];
    if (!ReceiveAll(socket, head, sizeof head)) return std::nullopt;
    std::uint32_t size = 0;
    for (int i = 0; i < 4; ++i) size = size << 8 | static_cast<unsigned char>(head[1 + i]);
    if (size > kMaxFrame) return std::nullopt;
    Frame frame;
    frame.type = head[0];
    frame.payload.resize(size);
    if (size && !ReceiveAll(socket, frame.payload.data(), size)) return std::nullopt;
    return frame;
}

std::string PeerTag(std::uint32_t address, std::uint16_t port)
{
    std::string tag(6, '\0');
    std::memcpy(tag.data(), &address, 4);
    std::memcpy(tag.data() + 4, &port, 2);
    return tag;
}

void ReadPeerTag(const std::string& payload, std::uint32_t& address, std::uint16_t& port)
{
    std::memcpy(&address, payload.data(), 4);
    std::memcpy(&port, payload.data() + 4, 2);
}

} // namespace tunnel
