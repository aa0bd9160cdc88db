// Lookups through c-ares on the calling thread. glibc's getaddrinfo cannot be interrupted, and
// its asynchronous getaddrinfo_a neither cancels a lookup once it runs nor lets the thread
// sanitizer see its helper threads; c-ares does all its work in the caller's own poll loop, so
// a stop ends the lookup within one slice and nothing of it is left running.
#include "platform/name_resolution.h"

#include <arpa/inet.h>
#include <ares.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace platform {

namespace {

// How long one wait lasts before the stop check is asked again.
constexpr int kSliceMs = 50;
// Close to glibc's own defaults (5 s, two attempts): c-ares doubles each later try's time-out.
constexpr int kTryTimeoutMs = 3000;
constexpr int kTries = 2;

struct Lookup {
    bool done = false;
    std::string address;
};

void OnAddresses(void* arg, int status, int /*timeouts*/, ares_addrinfo* result)
{
    auto* lookup = static_cast<Lookup*>(arg);
    lookup->done = true;
    if (status == ARES_SUCCESS && result) {
        for (const ares_addrinfo_node* node = result->nodes; node; node = node->ai_next) {
            if (node->ai_family != AF_INET || !node->ai_addr) continue;
            char buffer[22] = {};
            const auto* address = reinterpret_cast<const sockaddr_in*>(node->ai_addr);
            if (inet_ntop(AF_INET, &address->sin_addr, buffer, sizeof buffer)) lookup->address = buffer;
            break;
        }
    }
    if (result) ares_freeaddrinfo(result);
}

bool LibraryReady()
{
    static const bool ready = ares_library_init(ARES_LIB_INIT_ALL) == ARES_SUCCESS;
    return ready;
}

// One slice of waiting on the channel's sockets, then whatever c-ares has to do: read
// answers, send again, give up on a server whose time ran out.
void RunSlice(ares_channel channel)
{
    ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
    const int bits = ares_getsock(channel, sockets, ARES_GETSOCK_MAXNUM);
    pollfd waits[ARES_GETSOCK_MAXNUM];
    nfds_t count = 0;
    for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
        short events = 0;
        if (ARES_GETSOCK_READABLE(bits, i)) events |= POLLIN;
        if (ARES_GETSOCK_WRITABLE(bits, i)) events |= POLLOUT;
        if (events == 0) continue;
        waits[count++] = pollfd{sockets[i], events, 0};
    }
    timeval longest{0, kSliceMs * 1000};
    timeval left{};
    const timeval* next = ares_timeout(channel, &longest, &left);
    const int waitMs = static_cast<int>(std::clamp<long>(next->tv_sec * 1000 + next->tv_usec / 1000, 0, kSliceMs));
    const int ready = poll(waits, count, waitMs);
    if (ready < 0 && errno != EINTR) return;
    bool any = false;
    for (nfds_t i = 0; i < count && ready > 0; ++i) {
        const short happened = waits[i].revents;
        if (happened == 0) continue;
        any = true;
        const bool readable = happened & (POLLIN | POLLERR | POLLHUP);
        const bool writable = happened & (POLLOUT | POLLERR);
        ares_process_fd(channel, readable ? waits[i].fd : ARES_SOCKET_BAD, writable ? waits[i].fd : ARES_SOCKET_BAD);
    }
    // Time-outs are handled by a call with no socket.
    if (!any) ares_process_fd(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
}

} // namespace

bool IsIPv4Address(const std::string& text)
{
    in_addr parsed{};
    // inet_aton accepts the same short forms ("127.1") as Windows' inet_addr.
    return !text.empty() && inet_aton(text.c_str(), &parsed) != 0;
}

std::string ResolveIPv4(const std::string& text, const StopCheck& stopping)
{
    if (IsIPv4Address(text)) return text;
    if (text.empty() || !LibraryReady()) return "";
    ares_options options{};
    options.timeout = kTryTimeoutMs;
    options.tries = kTries;
    ares_channel channel = nullptr;
    // A channel per lookup reads the system's resolver configuration afresh each time.
    if (ares_init_options(&channel, &options, ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES) != ARES_SUCCESS) return "";
    Lookup lookup;
    ares_addrinfo_hints hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    ares_getaddrinfo(channel, text.c_str(), nullptr, &hints, OnAddresses, &lookup);
    while (!lookup.done && !(stopping && stopping())) RunSlice(channel);
    // A lookup still open is ended here, its callback run on this thread before this returns.
    ares_destroy(channel);
    return lookup.address;
}

} // namespace platform
