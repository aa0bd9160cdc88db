#include "reverseproxy/tunnel_output.h"

#include <array>
#include <string_view>

namespace reverse_proxy {

namespace {

// The proxy the generated configuration names; its lines carry it in brackets.
constexpr std::string_view proxyTag = "[rocket-league-server] ";

} // namespace

TunnelLine ClassifyTunnelLine(const std::string& rawLine)
{
    std::string line = rawLine;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    TunnelLine result;
    if (line.find(std::string(proxyTag) + "start proxy success") != std::string::npos) {
        result.kind = TunnelLine::Kind::ProxyStarted;
        return result;
    }
    // The client's failures, from the one that names our proxy to the login refusal.
    const std::array<std::string, 2> failures = {std::string(proxyTag) + "start error", "login to the server failed"};
    for (const std::string& marker : failures) {
        const size_t pos = line.find(marker);
        if (pos != std::string::npos) {
            result.kind = TunnelLine::Kind::Failure;
            result.reason = line.substr(pos);
            return result;
        }
    }
    return result;
}

std::string TunnelExitReason(int exitCode) { return "Tunnel client exited (code " + std::to_string(exitCode) + ")"; }

std::string TunnelTimeoutReason(std::chrono::milliseconds waited)
{
    const auto tenths = waited.count() / 100;
    std::string seconds = std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        seconds += "." + std::to_string(tenths % 10);
    }
    return "Tunnel client did not report its proxy within " + seconds + " s";
}

} // namespace reverse_proxy
