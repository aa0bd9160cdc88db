#pragma once
// The Windows facilities the firewall manager calls: the COM apartment, the firewall policy,
// launching a program through the shell, the administrators check, and the text of a result
// code. Windows has the real calls; elsewhere a host supplies a simulated firewall.
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// An HRESULT: negative values are failures.
using ResultCode = std::int32_t;
constexpr ResultCode kResultOk = 0;
constexpr ResultCode kResultFalse = 1;                                           // S_FALSE
constexpr ResultCode kResultChangedMode = static_cast<ResultCode>(0x80010106u); // RPC_E_CHANGED_MODE
constexpr ResultCode kResultClassNotRegistered = static_cast<ResultCode>(0x80040154u);
constexpr ResultCode kResultAccessDenied = static_cast<ResultCode>(0x80070005u);
constexpr bool Failed(ResultCode code) { return code < 0; }

// Win32 error codes the manager tells apart.
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorCancelled = 1223; // the user declined the elevation prompt

// A new rule's settings, applied to the rule object in the order of the members. Members
// not listed here stay at the rule's defaults.
struct FirewallRuleSettings {
    std::wstring name;
    std::wstring description;    // applied only when not empty
    std::int32_t protocol = 17;  // IP protocol number: UDP
    std::wstring localPorts;
    std::int32_t direction = 1;  // NET_FW_RULE_DIR_IN
    std::int32_t action = 1;     // NET_FW_ACTION_ALLOW
    bool enabled = true;
    std::wstring grouping;
};

struct FirewallLookup {
    ResultCode rulesResult = kResultOk; // getting the policy's rule collection
    bool found = false;                 // the collection's lookup succeeded and gave a rule
};

// Adding a rule stops at the first step that fails.
enum class FirewallAddStep { Done, CreateRule, GetRules, AddRule };
struct FirewallAddResult {
    FirewallAddStep failedStep = FirewallAddStep::Done;
    ResultCode code = kResultOk;
};

using ProcessHandle = std::uint64_t; // 0: no process handle
constexpr int kShowHidden = 0;       // SW_HIDE

struct LaunchRequest {
    std::wstring verb;       // empty: the program's default verb (not elevated)
    std::wstring file;       // the program, e.g. L"cmd.exe"
    std::wstring parameters; // its command line after the program
    int show = kShowHidden;
};

struct LaunchResult {
    bool launched = false;
    std::uint32_t error = 0;   // the thread's last error code when not launched
    ProcessHandle process = 0; // may be 0 even when launched
};

enum class WaitResult { Finished, TimedOut, Failed };

class FirewallSystem {
public:
    virtual ~FirewallSystem() = default;

    // CoInitializeEx as a single-threaded apartment on the calling thread, and its balance.
    virtual ResultCode InitializeCom() = 0;
    virtual void UninitializeCom() = 0;
    // Creates the firewall policy object; ReleasePolicy drops it (nothing when there is none).
    virtual ResultCode CreatePolicy() = 0;
    virtual void ReleasePolicy() = 0;
    // Both need the policy object.
    virtual FirewallLookup FindRule(const std::wstring& name) = 0;
    virtual FirewallAddResult AddRule(const FirewallRuleSettings& rule) = 0;

    virtual LaunchResult Launch(const LaunchRequest& request) = 0;
    virtual WaitResult Wait(ProcessHandle process, std::uint32_t milliseconds) = 0;
    virtual bool ExitCode(ProcessHandle process, std::uint32_t& code) = 0;
    virtual void CloseProcess(ProcessHandle process) = 0;

    // Whether the process token is a member of the Administrators group.
    virtual bool IsAdmin() = 0;
    // The system's message for a result code, worded as the COM error object gives it.
    virtual std::wstring ErrorText(ResultCode code) = 0;
};

// The platform's own firewall system.
std::unique_ptr<FirewallSystem> CreateFirewallSystem();
// The administrators check without a firewall system object.
bool IsProcessAdmin();

} // namespace platform
