#pragma once
// The direct path: asks the home router to forward the game's UDP port to this PC, and says
// honestly when that cannot let players in (no UPnP router, an internet address that is not
// public, a refusal). Its router calls wait on the network: the reverse proxy worker runs them;
// any thread may read the line it shows.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/port_mapping.h"
#include "reverseproxy/reverse_proxy_state.h"

namespace reverse_proxy {

inline constexpr const char* routerMappingDescription = "Kestrel Rocket League";
inline constexpr int routerLeaseSeconds = 3600;
inline constexpr int routerPortsAbove = 10;   // external ports tried past the game port when one is taken
inline constexpr int routerListedMappings = 64; // how many of the router's mappings are looked through

// Whether an IPv4 address can be reached from the internet: false for text that is not a
// dotted address and for 0/8, 10/8, 100.64/10, 127/8, 169.254/16, 172.16/12, 192.168/16.
bool IsPublicIPv4(const std::string& address);

enum class RouterState {
    NotAsked, // nothing asked yet, or the port was closed
    Asking,
    Mapped,
    NoRouter,
    NotPublic,
    Refused,
};

// "[OK]" mapped, "[!]" the router cannot let players in, "[?]" not known (yet).
const char* RouterIcon(RouterState state);

struct RouterLine {
    RouterState state = RouterState::NotAsked;
    std::string text;          // what the panel's "Router:" line says
    std::string directAddress; // "address:port" while Mapped, else empty
};

class RouterPortMapper {
public:
    using MakeMapping = std::function<std::unique_ptr<platform::PortMapping>()>;
    using Report = std::function<void(const std::string& message, LogLevel level)>;

    RouterPortMapper(MakeMapping makeMapping, Report report);

    // Worker only. Maps UDP gamePort (or one of the next ports when it is taken) to this PC,
    // replacing a mapping of ours that an earlier run left; the resulting state.
    RouterState Open(int gamePort);
    // Worker only. Refreshes the lease of the mapping in place; false when it is gone.
    bool Renew();
    // Worker only. Removes our mapping, if there is one.
    void Close();
    // When the mapping's lease wants renewing, counted from its last add; none for a
    // permanent mapping or when nothing is mapped.
    std::optional<std::chrono::seconds> RenewAfter() const;
    // Tells renewals of an earlier mapping from the current one's.
    std::uint64_t MappingGeneration() const;

    RouterLine Snapshot() const;

private:
    void Show(RouterState state, const std::string& text, const std::string& directAddress = {});
    void RemoveLeftovers(platform::PortMapping& mapping, const std::string& lanAddress);
    void Forget();

    MakeMapping makeMapping;
    Report report;
    std::unique_ptr<platform::PortMapping> mapping; // worker only

    // Worker only: the mapping we hold.
    int mappedPort = 0;     // external port; 0: none
    int internalPort = 0;
    std::string lanAddress;
    int leaseSeconds = 0;   // 0: permanent

    mutable std::mutex lineMutex;
    RouterLine line;
    std::uint64_t generation = 0; // under lineMutex
};

} // namespace reverse_proxy
