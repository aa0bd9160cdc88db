#pragma once
// Checks for, creates and removes the one inbound firewall rule for the game's UDP port 7777:
// through the firewall policy, or netsh, or an elevated PowerShell.
#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class FirewallSystem; // the policy, process launch and admin check the manager uses
}

class FirewallManager {
public:
    FirewallManager(); // the platform's own firewall system
    explicit FirewallManager(std::unique_ptr<platform::FirewallSystem> system); // tests' scripted one
    ~FirewallManager();
    FirewallManager(const FirewallManager&) = delete;
    FirewallManager& operator=(const FirewallManager&) = delete;

    bool Initialize();
    bool RuleExists(const std::wstring& name);
    bool CreateInboundRule(const std::wstring& name, const std::wstring& description);
    bool CreateRuleElevatedPowerShell(const std::wstring& name, const std::wstring& description);
    bool CreateInboundRuleNetshDirect(const std::wstring& name);
    bool RemoveRuleElevatedPowerShell(const std::wstring& name);
    bool RemoveRuleNetshDirect(const std::wstring& name);
    bool RuleExistsNetsh(const std::wstring& name);
    static bool IsRunningAsAdmin();

    std::wstring lastError; // the last failure text, read by callers

private:
    // message + ": " + the system's text for code + " (0x" + code in lower-case hex + ")".
    void SetError(std::int32_t code, const std::wstring& message);
    // True (with lastError set) when a text cannot go into a command line unchanged.
    bool RefuseUnsafe(const std::wstring& name, const std::wstring* description);
    bool RunElevatedNetsh(const std::wstring& command, const char* opening, const char* success);
    bool RunElevatedPowerShell(const std::wstring& parameters, const char* opening, const char* success);

    std::unique_ptr<platform::FirewallSystem> system;
    bool initialized = false;
    bool comInitialized = false;
    bool policyCreated = false; // the policy object is held and released at destruction
};
