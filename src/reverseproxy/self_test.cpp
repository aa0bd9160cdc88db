// The reachability self-test as the panel runs it, and copying the public address.
#include <imgui.h>

#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "plugin/matchbay.h"
#include "reverseproxy/reachability.h"

void matchbay::TestReachability()
{
    reverseProxyWorker.Post([this] { TestReachabilityNow(); });
}

void matchbay::TestReachabilityNow()
{
    if (connectionStatus != ConnectionStatus::Connected) {
        AddStatusLog("Connect to a proxy server before testing reachability", LogLevel::Warning);
        return;
    }
    reverse_proxy::ReachabilityProbe probe;
    std::tie(probe.publicAddress, probe.publicPort) = ConnectionSnapshot();
    CVarWrapper portCvar = cvarManager->getCvar("rp_rl_port");
    probe.localPort = portCvar.IsNull() ? 7777 : portCvar.getIntValue();
    probe.wait = reachabilityWait;
    probe.stopping = [this] { return reverseProxyWorker.Stopping(); };
    const reverse_proxy::ReachabilityOutcome outcome = reverse_proxy::ProbeReachability(probe);
    if (reverseProxyWorker.Stopping()) {
        return;
    }
    const reverse_proxy::StatusReport report = reverse_proxy::ReachabilityReport(probe, outcome);
    AddStatusLog(report.message, report.level);
}

void matchbay::CopyPublicAddress()
{
    const auto [address, port] = ConnectionSnapshot();
    if (address.empty()) {
        return;
    }
    const std::string text = address + ":" + std::to_string(port);
    ImGui::SetClipboardText(text.c_str());
    AddStatusLog("Copied " + text, LogLevel::Info);
}
