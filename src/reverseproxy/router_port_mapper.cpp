#include "reverseproxy/router_port_mapper.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace reverse_proxy {

namespace {

const char* const noRouterText = "No UPnP router found (UPnP may be off in the router's settings)";

std::optional<std::array<int, 4>> ParseIPv4(const std::string& text)
{
    std::array<int, 4> parts{};
    size_t at = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (at >= text.size() || text[at] != '.') return std::nullopt;
            ++at;
        }
        const size_t start = at;
        int value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 3) {
            value = value * 10 + (text[at] - '0');
            ++at;
        }
        if (at == start || value > 255) return std::nullopt;
        parts[i] = value;
    }
    if (at != text.size()) return std::nullopt;
    return parts;
}

std::string ErrorText(const platform::RouterResult& result)
{
    return "error " + std::to_string(result.code) + " (" + result.text + ")";
}

std::string NotPublicText(const std::string& address)
{
    return "The router's internet address " + (address.empty() ? std::string("(none)") : address) +
           " is not public (carrier-grade NAT or a second router): players cannot reach it directly";
}

} // namespace

bool IsPublicIPv4(const std::string& address)
{
    const auto parts = ParseIPv4(address);
    if (!parts) return false;
    const int a = (*parts)[0];
    const int b = (*parts)[1];
    if (a == 0 || a == 10 || a == 127) return false;
    if (a == 100 && b >= 64 && b <= 127) return false;
    if (a == 169 && b == 254) return false;
    if (a == 172 && b >= 16 && b <= 31) return false;
    if (a == 192 && b == 168) return false;
    return true;
}

const char* RouterIcon(RouterState state)
{
    switch (state) {
    case RouterState::Mapped: return "[OK]";
    case RouterState::NoRouter:
    case RouterState::NotPublic:
    case RouterState::Refused: return "[!]";
    case RouterState::NotAsked:
    case RouterState::Asking: break;
    }
    return "[?]";
}

RouterPortMapper::RouterPortMapper(MakeMapping makeMapping, Report report)
    : makeMapping(std::move(makeMapping)), report(std::move(report))
{
    line.text = "Not asked yet";
}

RouterState RouterPortMapper::Open(int gamePort)
{
    Show(RouterState::Asking, "Asking the router...");
    report("Asking the router to forward UDP " + std::to_string(gamePort) + " to this PC...", LogLevel::Info);
    if (!mapping) mapping = makeMapping ? makeMapping() : platform::CreatePortMapping({});
    // What we hold goes first, so a failing open leaves nothing of ours forwarded.
    if (mappedPort != 0) mapping->DeleteUdpMapping(mappedPort);
    Forget();

    if (!mapping->Discover()) {
        Show(RouterState::NoRouter, noRouterText);
        report(noRouterText, LogLevel::Warning);
        return RouterState::NoRouter;
    }
    std::string external;
    const platform::RouterResult addressResult = mapping->ExternalAddress(external);
    if (!addressResult.ok()) {
        const std::string text = "The router did not give its internet address: " + ErrorText(addressResult);
        Show(RouterState::Refused, text);
        report(text, LogLevel::Error);
        return RouterState::Refused;
    }
    const std::string lan = mapping->LanAddress();
    if (!IsPublicIPv4(external)) {
        // A mapping of ours from an earlier run would only mislead the next look at the router.
        if (!lan.empty()) RemoveLeftovers(*mapping, lan);
        const std::string text = NotPublicText(external);
        Show(RouterState::NotPublic, text);
        report(text, LogLevel::Warning);
        return RouterState::NotPublic;
    }
    if (lan.empty()) {
        const std::string text = "The router did not say which address this PC has on the home network";
        Show(RouterState::Refused, text);
        report(text, LogLevel::Error);
        return RouterState::Refused;
    }
    RemoveLeftovers(*mapping, lan);

    int lease = routerLeaseSeconds;
    const int lastPort = std::min(gamePort + routerPortsAbove, 65535);
    for (int port = gamePort; port <= lastPort; ++port) {
        platform::RouterResult result = mapping->AddUdpMapping(port, gamePort, lan, routerMappingDescription, lease);
        if (result.code == platform::kUpnpOnlyPermanentLeases && lease != 0) {
            lease = 0;
            report("The router only allows permanent mappings: this one is removed when it is closed", LogLevel::Info);
            result = mapping->AddUdpMapping(port, gamePort, lan, routerMappingDescription, lease);
        }
        if (result.code == platform::kUpnpConflictInMappingEntry) {
            report("UDP " + std::to_string(port) + " is held by another machine on the router", LogLevel::Info);
            continue;
        }
        if (!result.ok()) {
            const std::string text = "The router refused to forward UDP " + std::to_string(port) + ": " + ErrorText(result);
            Show(RouterState::Refused, text);
            report(text, LogLevel::Error);
            return RouterState::Refused;
        }
        mappedPort = port;
        internalPort = gamePort;
        lanAddress = lan;
        leaseSeconds = lease;
        const std::string portText = std::to_string(port);
        const std::string text = "Router forwards UDP " + portText + " to this PC: players join at " + external + ":" + portText;
        Show(RouterState::Mapped, text, external + ":" + portText);
        report(text, LogLevel::Success);
        return RouterState::Mapped;
    }
    const std::string text = "The router refused UDP " + std::to_string(gamePort) + " to " + std::to_string(lastPort) +
                             ": other machines hold each of them (error 718)";
    Show(RouterState::Refused, text);
    report(text, LogLevel::Error);
    return RouterState::Refused;
}

bool RouterPortMapper::Renew()
{
    if (!mapping || mappedPort == 0 || leaseSeconds == 0) return mappedPort != 0;
    const platform::RouterResult result =
        mapping->AddUdpMapping(mappedPort, internalPort, lanAddress, routerMappingDescription, leaseSeconds);
    if (result.ok()) {
        report("Router mapping of UDP " + std::to_string(mappedPort) + " renewed", LogLevel::Info);
        std::lock_guard<std::mutex> lock(lineMutex);
        ++generation;
        return true;
    }
    const std::string text = "The router stopped forwarding UDP " + std::to_string(mappedPort) +
                             ": renewing failed with " + ErrorText(result);
    mappedPort = 0;
    Show(RouterState::Refused, text);
    report(text, LogLevel::Error);
    return false;
}

void RouterPortMapper::Close()
{
    if (!mapping || mappedPort == 0) {
        Show(RouterState::NotAsked, "Closed");
        return;
    }
    const int port = mappedPort;
    const platform::RouterResult result = mapping->DeleteUdpMapping(port);
    Forget();
    if (result.ok()) {
        report("Router port closed: UDP " + std::to_string(port) + " is no longer forwarded", LogLevel::Info);
    } else {
        report("The router did not remove UDP " + std::to_string(port) + ": " + ErrorText(result), LogLevel::Warning);
    }
    Show(RouterState::NotAsked, "Closed");
}

std::optional<std::chrono::seconds> RouterPortMapper::RenewAfter() const
{
    if (mappedPort == 0 || leaseSeconds == 0) return std::nullopt;
    return std::chrono::seconds(leaseSeconds / 2);
}

std::uint64_t RouterPortMapper::MappingGeneration() const
{
    std::lock_guard<std::mutex> lock(lineMutex);
    return generation;
}

RouterLine RouterPortMapper::Snapshot() const
{
    std::lock_guard<std::mutex> lock(lineMutex);
    return line;
}

void RouterPortMapper::Show(RouterState state, const std::string& text, const std::string& directAddress)
{
    std::lock_guard<std::mutex> lock(lineMutex);
    line = RouterLine{state, text, directAddress};
    ++generation;
}

void RouterPortMapper::RemoveLeftovers(platform::PortMapping& router, const std::string& lan)
{
    std::vector<platform::PortMappingEntry> entries;
    if (!router.ListMappings(entries, routerListedMappings).ok()) return;
    for (const platform::PortMappingEntry& entry : entries) {
        if (entry.description != routerMappingDescription || entry.internalClient != lan || entry.protocol != "UDP" ||
            entry.externalPort == 0) {
            continue;
        }
        if (router.DeleteUdpMapping(entry.externalPort).ok()) {
            report("Removed the router mapping of UDP " + std::to_string(entry.externalPort) + " an earlier run left",
                   LogLevel::Info);
        }
    }
}

void RouterPortMapper::Forget()
{
    mappedPort = 0;
    internalPort = 0;
    lanAddress.clear();
    leaseSeconds = 0;
}

} // namespace reverse_proxy
