#pragma once
// The reachability self-test: a datagram with a random nonce goes to the tunnel's public
// address and has to come back in through the tunnel to the game's local port, the way a
// player's packets would arrive.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "reverseproxy/reverse_proxy_state.h"

namespace reverse_proxy {

struct ReachabilityProbe {
    std::string publicAddress; // as the panel shows it; a host name is resolved
    std::int32_t publicPort = 0;
    std::int32_t localPort = 7777; // bound on 127.0.0.1 while the test runs
    std::chrono::milliseconds wait{2000};
    std::function<bool()> stopping; // polled while waiting; true abandons the test
};

struct ReachabilityOutcome {
    enum class Kind { Reachable, NotReachable, PortInUse, Failed };
    Kind kind = Kind::Failed;
    std::int64_t milliseconds = 0; // Reachable: send to arrival
    std::string detail;            // Failed: why the test could not run
};

// Blocks for at most probe.wait (plus name resolution); run it on the reverse proxy worker.
ReachabilityOutcome ProbeReachability(const ReachabilityProbe& probe);

struct StatusReport {
    std::string message;
    LogLevel level = LogLevel::Info;
};
StatusReport ReachabilityReport(const ReachabilityProbe& probe, const ReachabilityOutcome& outcome);

} // namespace reverse_proxy
