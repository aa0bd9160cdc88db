#include "platform/icmp_echo.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

namespace platform {

namespace {

std::uint16_t Checksum(const unsigned char* data, size_t size)
{
    std::uint32_t sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (size % 2) sum += static_cast<std::uint32_t>(data[size - 1] << 8);
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

std::atomic<std::uint16_t> nextSequence{1};

} // namespace

std::int32_t IcmpEcho(const std::string& ipv4, const void* data, std::size_t size, std::uint32_t timeoutMs)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    if (inet_aton(ipv4.c_str(), &destination.sin_addr) == 0) return -1;

    // The datagram socket needs no privilege where ping_group_range allows it; root can
    // always take the raw one.
    bool raw = false;
    int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (sock < 0) {
        sock = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        raw = true;
    }
    if (sock < 0) return -1;

    std::uint16_t identifier = static_cast<std::uint16_t>(getpid());
    std::uint16_t sequence = nextSequence.fetch_add(1);
    std::vector<unsigned char> packet(sizeof(icmphdr) + size);
    auto* header = reinterpret_cast<icmphdr*>(packet.data());
    header->type = ICMP_ECHO;
    header->code = 0;
    header->un.echo.id = htons(identifier);
    header->un.echo.sequence = htons(sequence);
    if (size) std::memcpy(packet.data() + sizeof(icmphdr), data, size);
    header->checksum = 0;
    header->checksum = htons(Checksum(packet.data(), packet.size()));

    auto sent = std::chrono::steady_clock::now();
    auto deadline = sent + std::chrono::milliseconds(timeoutMs);
    if (sendto(sock, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&destination), sizeof destination) < 0) {
        close(sock);
        return -1;
    }
    std::int32_t result = -1;
    unsigned char reply[1500];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd waiting{sock, POLLIN, 0};
        int ready = poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        ssize_t got = recvfrom(sock, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        size_t offset = 0;
        if (raw) {
            // A raw socket sees every ICMP packet of the host, with its IP header.
            if (got < static_cast<ssize_t>(sizeof(iphdr))) continue;
            offset = static_cast<size_t>(reinterpret_cast<iphdr*>(reply)->ihl) * 4;
        }
        if (static_cast<size_t>(got) < offset + sizeof(icmphdr)) continue;
        if (from.sin_addr.s_addr != destination.sin_addr.s_addr) continue;
        const auto* answer = reinterpret_cast<const icmphdr*>(reply + offset);
        if (answer->type != ICMP_ECHOREPLY) continue;
        if (ntohs(answer->un.echo.sequence) != sequence) continue;
        // The kernel chooses the identifier of a datagram socket itself.
        if (raw && ntohs(answer->un.echo.id) != identifier) continue;
        result = static_cast<std::int32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent).count());
        break;
    }
    close(sock);
    return result;
}

} // namespace platform
