#pragma once
// Reads what the tunnel client prints: whether its UDP proxy came up or why it did not.
#include <chrono>
#include <string>

namespace reverse_proxy {

struct TunnelLine {
    enum class Kind { Other, ProxyStarted, Failure };
    Kind kind = Kind::Other;
    std::string reason; // for Failure: the client's own words, from the failure's first word on
};

// One line of the client's output (trailing CR/LF allowed).
TunnelLine ClassifyTunnelLine(const std::string& line);

// The reason given when the client process ends.
std::string TunnelExitReason(int exitCode);
// The reason given when a started client did not report its proxy in time.
std::string TunnelTimeoutReason(std::chrono::milliseconds waited);

} // namespace reverse_proxy
