#pragma once
// One ICMP echo request and its round-trip time: IcmpSendEcho on Windows; on Linux an
// ICMP datagram socket, or a raw socket when the system allows only that (root).
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Milliseconds until the reply, or -1 when the probe failed in any way (no socket, an
// address that is not dotted IPv4, time-out, a reply other than success).
std::int32_t IcmpEcho(const std::string& ipv4, const void* data, std::size_t size, std::uint32_t timeoutMs);

} // namespace platform
