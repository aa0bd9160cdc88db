// Creating and removing the firewall rule with the user's consent, each verified, with netsh as
// the second attempt. They wait on an elevated process, so they run on the worker.
#include <cstdint>

#include "plugin/logging.h"
#include "plugin/matchbay.h"
#include "reverseproxy/firewall_rule.h"

namespace {

// Cutting each UTF-16 unit to its low byte would turn other characters into unrelated ones;
// they show as '?' instead.
std::string NarrowForLog(const std::wstring& text)
{
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) {
        // wchar_t is unsigned on Windows and signed elsewhere.
        narrow.push_back(static_cast<std::uint32_t>(c) < 0x80 ? static_cast<char>(c) : '?');
    }
    return narrow;
}

constexpr std::chrono::milliseconds verifyDelay{500};

} // namespace

void matchbay::CreateFirewallRuleWithElevation()
{
    reverseProxyWorker.Post([this] { CreateFirewallRuleNow(); });
}

void matchbay::RemoveFirewallRuleWithElevation()
{
    reverseProxyWorker.Post([this] { RemoveFirewallRuleNow(); });
}

void matchbay::CreateFirewallRuleNow()
{
    using reverse_proxy::firewallRuleName;
    if (!firewallManager) {
        AddStatusLog("Firewall manager not initialized", LogLevel::Error);
        return;
    }
    AddStatusLog("Requesting admin permission to create firewall rule...", LogLevel::Info);
    if (!firewallManager->CreateRuleElevatedPowerShell(firewallRuleName, reverse_proxy::firewallRuleDescription)) {
        AddStatusLog("Failed to create firewall rule: " + NarrowForLog(firewallManager->lastError), LogLevel::Error);
        return;
    }
    if (!reverseProxyWorker.SleepFor(verifyDelay)) {
        return;
    }
    if (firewallManager->RuleExists(firewallRuleName)) {
        firewallStatus = FirewallStatus::Ready;
        AddStatusLog("Firewall rule created successfully!", LogLevel::Success);
        return;
    }
    AddStatusLog("PowerShell creation failed to verify, attempting netsh method...", LogLevel::Warning);
    LogLine("CreateInboundRuleNetshDirect: Using netsh directly, bypassing WMI");
    if (!firewallManager->CreateInboundRuleNetshDirect(firewallRuleName)) {
        firewallStatus = FirewallStatus::Error;
        AddStatusLog("Failed to create firewall rule via netsh: " + NarrowForLog(firewallManager->lastError),
                     LogLevel::Error);
        return;
    }
    if (!reverseProxyWorker.SleepFor(verifyDelay)) {
        return;
    }
    if (firewallManager->RuleExists(firewallRuleName)) {
        firewallStatus = FirewallStatus::Ready;
        AddStatusLog("Firewall rule created successfully via netsh!", LogLevel::Success);
    } else {
        firewallStatus = FirewallStatus::Error;
        AddStatusLog("Failed to verify firewall rule creation after multiple attempts", LogLevel::Error);
    }
}

void matchbay::RemoveFirewallRuleNow()
{
    using reverse_proxy::firewallRuleName;
    if (!firewallManager) {
        AddStatusLog("Firewall manager not initialized", LogLevel::Error);
        return;
    }
    // The panel refuses while a tunnel runs; a connect queued before the click may have started one since.
    if (connectionStatus != ConnectionStatus::Disconnected) {
        AddStatusLog("Disconnect before removing the firewall rule", LogLevel::Warning);
        return;
    }
    AddStatusLog("Requesting admin permission to remove firewall rule...", LogLevel::Info);
    if (!firewallManager->RemoveRuleElevatedPowerShell(firewallRuleName)) {
        AddStatusLog("Failed to remove firewall rule: " + NarrowForLog(firewallManager->lastError), LogLevel::Error);
        return;
    }
    if (!reverseProxyWorker.SleepFor(verifyDelay)) {
        return;
    }
    if (!firewallManager->RuleExists(firewallRuleName)) {
        firewallStatus = FirewallStatus::NeedsAdmin;
        AddStatusLog("Firewall rule removed successfully!", LogLevel::Success);
        return;
    }
    AddStatusLog("PowerShell removal failed to verify, attempting netsh method...", LogLevel::Warning);
    LogLine("RemoveRuleNetshDirect: Using netsh directly, bypassing WMI");
    if (!firewallManager->RemoveRuleNetshDirect(firewallRuleName)) {
        firewallStatus = FirewallStatus::Error;
        AddStatusLog("Failed to remove firewall rule via netsh: " + NarrowForLog(firewallManager->lastError),
                     LogLevel::Error);
        return;
    }
    if (!reverseProxyWorker.SleepFor(verifyDelay)) {
        return;
    }
    if (!firewallManager->RuleExists(firewallRuleName)) {
        firewallStatus = FirewallStatus::NeedsAdmin;
        AddStatusLog("Firewall rule removed successfully via netsh!", LogLevel::Success);
    } else {
        firewallStatus = FirewallStatus::Error;
        AddStatusLog("Failed to verify firewall rule removal after multiple attempts", LogLevel::Error);
    }
}
