#include "reverseproxy/firewall_manager.h"

#include <cstdint>

#include "platform/firewall_system.h"
#include "plugin/logging.h"
#include "reverseproxy/firewall_commands.h"

namespace {

using platform::LaunchRequest;
using platform::WaitResult;

constexpr std::uint32_t kProcessWaitMs = 10000;

// Log lines narrow each UTF-16 unit to one byte, as the console of the game takes them.
std::string NarrowForLog(const std::wstring& text)
{
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) {
        const auto value = static_cast<std::uint32_t>(c);
        if (value > 0xFFFF) { // a wide character beyond one UTF-16 unit: its surrogate pair
            const std::uint32_t rest = value - 0x10000;
            narrow += static_cast<char>(static_cast<unsigned char>(0xD800 + (rest >> 10)));
            narrow += static_cast<char>(static_cast<unsigned char>(0xDC00 + (rest & 0x3FF)));
        } else {
            narrow += static_cast<char>(static_cast<unsigned char>(value));
        }
    }
    return narrow;
}

void LogWide(const std::wstring& text) { LogLine(NarrowForLog(text)); }

std::wstring Hex(std::uint32_t value)
{
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    do {
        text.insert(text.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

// The end of one launched command, as the operations tell it apart.
struct CommandRun {
    enum class End { NotLaunched, NoHandle, Finished, TimedOut, WaitFailed };
    End end = End::NotLaunched;
    std::uint32_t error = 0;   // NotLaunched: the launch's error code
    bool exitRead = false;     // Finished: whether the exit code could be read
    std::uint32_t exitCode = 0;
};

CommandRun RunCommand(platform::FirewallSystem& system, const LaunchRequest& request)
{
    CommandRun run;
    const auto launch = system.Launch(request);
    if (!launch.launched) {
        run.error = launch.error;
        return run;
    }
    if (launch.process == 0) {
        run.end = CommandRun::End::NoHandle;
        return run;
    }
    switch (system.Wait(launch.process, kProcessWaitMs)) {
    case WaitResult::Finished:
        run.end = CommandRun::End::Finished;
        run.exitRead = system.ExitCode(launch.process, run.exitCode);
        break;
    case WaitResult::TimedOut: run.end = CommandRun::End::TimedOut; break;
    case WaitResult::Failed: run.end = CommandRun::End::WaitFailed; break;
    }
    system.CloseProcess(launch.process);
    return run;
}

} // namespace

FirewallManager::FirewallManager() : FirewallManager(platform::CreateFirewallSystem()) {}

FirewallManager::FirewallManager(std::unique_ptr<platform::FirewallSystem> system) : system(std::move(system)) {}

FirewallManager::~FirewallManager()
{
    if (!system) return;
    if (policyCreated) {
        system->ReleasePolicy();
        policyCreated = false;
    }
    if (comInitialized) {
        system->UninitializeCom();
        comInitialized = false;
    }
}

void FirewallManager::SetError(platform::ResultCode code, const std::wstring& message)
{
    lastError = message + L": " + system->ErrorText(code) + L" (0x" + Hex(static_cast<std::uint32_t>(code)) + L")";
}

bool FirewallManager::RefuseUnsafe(const std::wstring& name, const std::wstring* description)
{
    const wchar_t* what = nullptr;
    if (firewall_commands::UnsafeInCommand(name)) what = L"name";
    else if (description && firewall_commands::UnsafeInCommand(*description)) what = L"description";
    if (!what) return false;
    lastError = L"Refusing firewall command: the rule " + std::wstring(what) + L" contains a quote or line break";
    LogWide(lastError);
    return true;
}

bool FirewallManager::Initialize()
{
    if (initialized) return true;
    // A retry after a failed attempt keeps the apartment that attempt already holds: a second
    // initialisation would need a second balance that destruction does not make.
    if (!comInitialized) {
        const platform::ResultCode code = system->InitializeCom();
        if (platform::Failed(code) && code != platform::kResultChangedMode) {
            SetError(code, L"CoInitializeEx failed");
            return false;
        }
        comInitialized = code != platform::kResultChangedMode;
    }
    const platform::ResultCode created = system->CreatePolicy();
    if (platform::Failed(created)) {
        SetError(created, L"Failed to create INetFwPolicy2 instance");
        return false;
    }
    policyCreated = true;
    initialized = true;
    LogLine("FirewallManager initialized successfully");
    return true;
}

bool FirewallManager::RuleExists(const std::wstring& name)
{
    if (!initialized) {
        lastError = L"FirewallManager not initialized";
        LogLine("Cannot check firewall rule: FirewallManager not initialized, attempting netsh fallback...");
        return RuleExistsNetsh(name);
    }
    const auto lookup = system->FindRule(name);
    if (platform::Failed(lookup.rulesResult)) {
        SetError(lookup.rulesResult, L"Failed to get firewall rules via WMI");
        LogLine("Failed to get firewall rules, attempting netsh fallback...");
        return RuleExistsNetsh(name);
    }
    return lookup.found;
}

bool FirewallManager::CreateInboundRule(const std::wstring& name, const std::wstring& description)
{
    if (!initialized) {
        lastError = L"FirewallManager not initialized";
        return false;
    }
    if (RuleExists(name)) {
        LogWide(L"Firewall rule '" + name + L"' already exists");
        return true;
    }
    if (!system->IsAdmin()) {
        lastError = L"Administrator privileges required to create firewall rules";
        LogLine("Cannot create firewall rule: Administrator privileges required");
        return false;
    }
    platform::FirewallRuleSettings rule;
    rule.name = name;
    rule.description = description;
    rule.protocol = 17;
    rule.localPorts = std::to_wstring(firewall_commands::kRulePort);
    rule.direction = 1;
    rule.action = 1;
    rule.enabled = true;
    rule.grouping = firewall_commands::kRuleGroup;
    const auto added = system->AddRule(rule);
    switch (added.failedStep) {
    case platform::FirewallAddStep::Done: break;
    case platform::FirewallAddStep::CreateRule:
        SetError(added.code, L"Failed to create INetFwRule instance via WMI");
        LogLine("Failed to create INetFwRule instance, attempting netsh fallback...");
        return CreateInboundRuleNetshDirect(name);
    case platform::FirewallAddStep::GetRules:
        SetError(added.code, L"Failed to get firewall rules collection via WMI");
        LogLine("Failed to get firewall rules collection, attempting netsh fallback...");
        return CreateInboundRuleNetshDirect(name);
    case platform::FirewallAddStep::AddRule:
        SetError(added.code, L"Failed to add firewall rule via WMI");
        LogLine("WMI method failed, attempting netsh fallback...");
        return CreateInboundRuleNetshDirect(name);
    }
    Log("Successfully created firewall rule for port {}", firewall_commands::kRulePort);
    return true;
}

// The elevated netsh create and remove share every outcome but their texts.
bool FirewallManager::RunElevatedNetsh(const std::wstring& command, const char* opening, const char* success)
{
    LogLine(opening);
    LogWide(L"Executing netsh command: " + command);
    const auto run = RunCommand(*system, LaunchRequest{L"runas", L"cmd.exe", L"/C " + command, platform::kShowHidden});
    switch (run.end) {
    case CommandRun::End::NotLaunched:
        if (run.error == platform::kErrorCancelled) {
            lastError = L"User cancelled the elevation prompt";
            LogLine("User cancelled UAC prompt for netsh");
        } else {
            lastError = L"Failed to launch netsh command: error code " + std::to_wstring(run.error);
            Log("ShellExecuteEx failed for netsh with error: {}", run.error);
        }
        return false;
    case CommandRun::End::Finished:
        if (!run.exitRead) break;
        if (run.exitCode == 0) {
            LogLine(success);
            return true;
        }
        lastError = L"netsh command failed with exit code: " + std::to_wstring(run.exitCode);
        LogWide(lastError);
        return false;
    case CommandRun::End::TimedOut:
        LogLine("netsh command timed out");
        lastError = L"netsh command timed out";
        return false;
    case CommandRun::End::NoHandle:
    case CommandRun::End::WaitFailed: break;
    }
    LogLine("netsh process launched");
    return true;
}

bool FirewallManager::CreateInboundRuleNetshDirect(const std::wstring& name)
{
    if (RefuseUnsafe(name, nullptr)) return false;
    return RunElevatedNetsh(firewall_commands::NetshAddRule(name),
                            "Attempting to create firewall rule using netsh fallback",
                            "Firewall rule created successfully via netsh");
}

bool FirewallManager::RemoveRuleNetshDirect(const std::wstring& name)
{
    if (RefuseUnsafe(name, nullptr)) return false;
    return RunElevatedNetsh(firewall_commands::NetshDeleteRule(name),
                            "Attempting to remove firewall rule using netsh fallback",
                            "Firewall rule removed successfully via netsh");
}

bool FirewallManager::RuleExistsNetsh(const std::wstring& name)
{
    if (RefuseUnsafe(name, nullptr)) return false;
    LogLine("Attempting to check firewall rule existence using netsh fallback");
    const std::wstring command = firewall_commands::NetshShowRule(name);
    LogWide(L"Executing netsh command: " + command);
    const auto run = RunCommand(*system, LaunchRequest{L"", L"cmd.exe", L"/C " + command, platform::kShowHidden});
    switch (run.end) {
    case CommandRun::End::NotLaunched:
        lastError = L"Failed to launch netsh command: error code " + std::to_wstring(run.error);
        Log("ShellExecuteEx failed for netsh with error: {}", run.error);
        return false;
    case CommandRun::End::Finished:
        if (!run.exitRead) return false;
        if (run.exitCode == 0) {
            LogLine("Firewall rule exists (verified via netsh)");
            return true;
        }
        LogLine("Firewall rule does not exist (verified via netsh)");
        return false;
    case CommandRun::End::TimedOut:
        LogLine("netsh command timed out");
        lastError = L"netsh command timed out";
        return false;
    case CommandRun::End::NoHandle:
    case CommandRun::End::WaitFailed: return false;
    }
    return false;
}

bool FirewallManager::RunElevatedPowerShell(const std::wstring& parameters, const char* opening, const char* success)
{
    LogLine(opening);
    LogWide(L"Command: powershell.exe " + parameters);
    const auto run =
        RunCommand(*system, LaunchRequest{L"runas", L"powershell.exe", parameters, platform::kShowHidden});
    switch (run.end) {
    case CommandRun::End::NotLaunched:
        if (run.error == platform::kErrorCancelled) {
            lastError = L"User cancelled the elevation prompt";
            LogLine("User cancelled UAC prompt");
        } else {
            lastError = L"Failed to launch elevated PowerShell: error code " + std::to_wstring(run.error);
            Log("ShellExecuteEx failed with error: {}", run.error);
        }
        return false;
    case CommandRun::End::Finished:
        if (!run.exitRead) break;
        if (run.exitCode == 0) LogLine(success);
        else Log("PowerShell command failed with exit code: {}", run.exitCode);
        break;
    case CommandRun::End::TimedOut: LogLine("PowerShell command timed out"); break;
    case CommandRun::End::NoHandle:
    case CommandRun::End::WaitFailed: break;
    }
    // Only the start is known here: the callers look the rule up afterwards.
    LogLine("Elevated PowerShell process launched");
    return true;
}

bool FirewallManager::CreateRuleElevatedPowerShell(const std::wstring& name, const std::wstring& description)
{
    if (RefuseUnsafe(name, &description)) return false;
    return RunElevatedPowerShell(firewall_commands::PowerShellNewRule(name, description),
                                 "Launching elevated PowerShell to create firewall rule",
                                 "Firewall rule created successfully via elevated PowerShell");
}

bool FirewallManager::RemoveRuleElevatedPowerShell(const std::wstring& name)
{
    if (RefuseUnsafe(name, nullptr)) return false;
    return RunElevatedPowerShell(firewall_commands::PowerShellRemoveRule(name),
                                 "Launching elevated PowerShell to remove firewall rule",
                                 "Firewall rule removed successfully via elevated PowerShell");
}

bool FirewallManager::IsRunningAsAdmin() { return platform::IsProcessAdmin(); }
