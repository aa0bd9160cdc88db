#pragma once
// What a host on a system without Windows Firewall installs to stand in for it: the firewall
// policy's rule store, the shell that launches (and may elevate) netsh and PowerShell, and
// whether the process runs as an administrator. The plugin reaches it only through its
// platform layer.
#include <cstdint>
#include <memory>
#include <string>

namespace bakkesmod::host {

// Result codes are HRESULTs; launch errors are Win32 error codes.
struct FirewallRuleRecord {
    std::wstring name;
    std::wstring description;
    std::int32_t protocol = 256; // NET_FW_IP_PROTOCOL_ANY
    std::wstring localPorts;     // empty: any
    std::int32_t direction = 1;  // 1 inbound, 2 outbound
    std::int32_t action = 1;     // 0 block, 1 allow
    bool enabled = false;
    std::wstring grouping;
};

struct FirewallRuleQuery {
    std::int32_t rulesResult = 0;
    bool found = false;
};

struct FirewallAddOutcome {
    enum class Step { Done, CreateRule, GetRules, AddRule };
    Step failedStep = Step::Done;
    std::int32_t code = 0;
};

struct FirewallLaunchOutcome {
    bool launched = false;
    std::uint32_t error = 0;
    std::uint64_t process = 0; // 0: no handle
};

enum class FirewallWaitOutcome { Finished, TimedOut, Failed };

class FirewallService {
public:
    virtual ~FirewallService() = default;
    virtual std::int32_t createPolicy() = 0;
    virtual FirewallRuleQuery findRule(const std::wstring& name) = 0;
    virtual FirewallAddOutcome addRule(const FirewallRuleRecord& rule) = 0;
    // ShellExecuteEx: verb ("" or "runas"), program, parameters, show state.
    virtual FirewallLaunchOutcome launch(const std::wstring& verb, const std::wstring& file,
                                         const std::wstring& parameters, int show) = 0;
    virtual FirewallWaitOutcome wait(std::uint64_t process, std::uint32_t milliseconds) = 0;
    virtual bool exitCode(std::uint64_t process, std::uint32_t& code) = 0;
    virtual void closeProcess(std::uint64_t process) = 0;
    virtual bool isAdmin() = 0;
};

// Process-wide, as the other host services.
void installFirewallService(std::shared_ptr<FirewallService> service);
std::shared_ptr<FirewallService> firewallService();

} // namespace bakkesmod::host
