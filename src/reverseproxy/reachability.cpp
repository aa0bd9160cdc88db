#include "reverseproxy/reachability.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <random>

#include "platform/name_resolution.h"
#include "platform/udp_socket.h"

namespace reverse_proxy {

namespace {

using Clock = std::chrono::steady_clock;

// A fresh nonce per test, so a late echo of an earlier test or a player's packet is not
// taken for this one's.
std::string NoncePayload()
{
    std::random_device random;
    std::array<char, 33> hex{};
    for (int i = 0; i < 4; ++i) {
        std::snprintf(hex.data() + i * 8, 9, "%08x", static_cast<unsigned>(random()));
    }
    return std::string("kestrel-reachability ") + hex.data();
}

ReachabilityOutcome Failed(std::string detail)
{
    ReachabilityOutcome outcome;
    outcome.kind = ReachabilityOutcome::Kind::Failed;
    outcome.detail = std::move(detail);
    return outcome;
}

bool ValidPort(std::int32_t port) { return port > 0 && port <= 65535; }

} // namespace

ReachabilityOutcome ProbeReachability(const ReachabilityProbe& probe)
{
    if (!ValidPort(probe.localPort)) {
        return Failed("local port " + std::to_string(probe.localPort) + " is out of range");
    }
    if (!ValidPort(probe.publicPort) || probe.publicAddress.empty()) {
        return Failed("the tunnel has no public address yet");
    }
    platform::UdpSocket socket;
    switch (socket.Bind("127.0.0.1", static_cast<std::uint16_t>(probe.localPort))) {
    case platform::UdpBind::Bound: break;
    case platform::UdpBind::InUse: {
        ReachabilityOutcome outcome;
        outcome.kind = ReachabilityOutcome::Kind::PortInUse;
        return outcome;
    }
    case platform::UdpBind::Failed: return Failed(socket.LastError());
    }
    const std::string ipv4 = platform::ResolveIPv4(probe.publicAddress, probe.stopping);
    if (ipv4.empty()) {
        if (probe.stopping && probe.stopping()) {
            return Failed("stopped");
        }
        return Failed("cannot resolve " + probe.publicAddress);
    }
    const std::string payload = NoncePayload();
    // Sent from a socket of its own: one bound to loopback cannot reach a proxy's public
    // address, and a player's packets come from elsewhere anyway.
    platform::UdpSocket sender;
    const Clock::time_point sent = Clock::now();
    if (!sender.SendTo(ipv4, static_cast<std::uint16_t>(probe.publicPort), payload.data(), payload.size())) {
        return Failed(sender.LastError());
    }
    const Clock::time_point deadline = sent + probe.wait;
    // Short slices, so an unload does not wait out the whole time.
    constexpr std::chrono::milliseconds slice{100};
    for (Clock::time_point now = Clock::now(); now < deadline; now = Clock::now()) {
        if (probe.stopping && probe.stopping()) {
            return Failed("stopped");
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        const auto wait = std::max(std::chrono::milliseconds(1), std::min(left, slice));
        const auto datagram = socket.Receive(static_cast<std::uint32_t>(wait.count()));
        if (datagram && *datagram == payload) {
            ReachabilityOutcome outcome;
            outcome.kind = ReachabilityOutcome::Kind::Reachable;
            outcome.milliseconds =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count();
            return outcome;
        }
    }
    ReachabilityOutcome outcome;
    outcome.kind = ReachabilityOutcome::Kind::NotReachable;
    return outcome;
}

StatusReport ReachabilityReport(const ReachabilityProbe& probe, const ReachabilityOutcome& outcome)
{
    const std::string where = probe.publicAddress + ":" + std::to_string(probe.publicPort);
    switch (outcome.kind) {
    case ReachabilityOutcome::Kind::Reachable:
        return {"Reachable from the internet at " + where + " (" + std::to_string(outcome.milliseconds) + " ms)",
                LogLevel::Success};
    case ReachabilityOutcome::Kind::NotReachable: {
        const auto seconds = probe.wait.count() / 1000;
        const std::string within = probe.wait.count() % 1000 == 0 ? std::to_string(seconds) + " s"
                                                                  : std::to_string(probe.wait.count()) + " ms";
        return {"Not reachable at " + where + ": nothing arrived within " + within, LogLevel::Error};
    }
    case ReachabilityOutcome::Kind::PortInUse:
        return {"Port " + std::to_string(probe.localPort) +
                    " is in use by the game: the tunnel carries its traffic; stop hosting to run the test",
                LogLevel::Warning};
    case ReachabilityOutcome::Kind::Failed: break;
    }
    return {"Reachability test failed: " + outcome.detail, LogLevel::Error};
}

} // namespace reverse_proxy
