// The direct path as the panel and the console run it: opening and closing the router port,
// renewing its lease, and "Make Reachable", which falls back to the tunnel.
#include <imgui.h>

#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "plugin/matchbay.h"

void matchbay::OpenRouterPort()
{
    reverseProxyWorker.Post([this] { OpenRouterPortNow(); });
}

void matchbay::CloseRouterPort()
{
    reverseProxyWorker.Post([this] { CloseRouterPortNow(); });
}

void matchbay::MakeReachable()
{
    reverseProxyWorker.Post([this] { MakeReachableNow(); });
}

reverse_proxy::RouterState matchbay::OpenRouterPortNow()
{
    CVarWrapper portCvar = cvarManager->getCvar("rp_rl_port");
    const int gamePort = portCvar.IsNull() ? 7777 : portCvar.getIntValue();
    if (gamePort < 1 || gamePort > 65535) {
        AddStatusLog("Rocket League server port " + std::to_string(gamePort) + " cannot be forwarded", LogLevel::Error);
        return reverse_proxy::RouterState::Refused;
    }
    const reverse_proxy::RouterState state = routerPortMapper.Open(gamePort);
    if (state == reverse_proxy::RouterState::Mapped) {
        // The router's part is done, but Windows still drops what it forwards without the rule.
        if (firewallStatus != FirewallStatus::Ready) {
            AddStatusLog("The Windows Firewall rule is missing: players' packets reach this PC but not the game until it "
                         "is created",
                         LogLevel::Warning);
        }
        ScheduleRouterRenewal();
    }
    return state;
}

void matchbay::ScheduleRouterRenewal()
{
    const auto after = routerPortMapper.RenewAfter();
    if (!after) return;
    const std::uint64_t generation = routerPortMapper.MappingGeneration();
    reverseProxyWorker.PostAt(reverse_proxy::Worker::Clock::now() + *after, [this, generation] {
        // A close or a new open since then has its own lease.
        if (generation != routerPortMapper.MappingGeneration()) return;
        if (routerPortMapper.Renew()) ScheduleRouterRenewal();
    });
}

void matchbay::CloseRouterPortNow()
{
    routerPortMapper.Close();
}

void matchbay::MakeReachableNow()
{
    AddStatusLog("Make Reachable: trying the router first", LogLevel::Info);
    const reverse_proxy::RouterState state = OpenRouterPortNow();
    if (state == reverse_proxy::RouterState::Mapped || reverseProxyWorker.Stopping()) {
        return;
    }
    // Every way the router path fails here (no router, an address the internet cannot reach, a
    // refusal) is one a proxy fixes: the tunnel goes out from this PC.
    const std::string why = routerPortMapper.Snapshot().text;
    const ConnectionStatus status = connectionStatus.load();
    if (status == ConnectionStatus::Connected || status == ConnectionStatus::Connecting) {
        AddStatusLog("The router cannot let players in (" + why + "); the proxy tunnel already does", LogLevel::Info);
        return;
    }
    AddStatusLog("Connecting to the best proxy instead, because: " + why, LogLevel::Warning);
    if (firewallStatus != FirewallStatus::Ready) {
        AddStatusLog("Cannot connect to a proxy: the Windows Firewall rule must be created first", LogLevel::Error);
        firewallNotReadyFromWorker = true; // the panel opens "Firewall Not Ready", as for its own connect
        return;
    }
    ++connectsQueued;
    SelectBestServerNow();
    --connectsQueued;
}

void matchbay::CopyDirectAddress()
{
    const std::string text = routerPortMapper.Snapshot().directAddress;
    if (text.empty()) {
        return;
    }
    ImGui::SetClipboardText(text.c_str());
    AddStatusLog("Copied " + text, LogLevel::Info);
}
