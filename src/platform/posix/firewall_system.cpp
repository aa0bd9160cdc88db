// Without Windows Firewall the host's firewall service stands in for the policy, the shell
// and the token; with no such service installed there is no firewall to reach: the policy
// class is not registered, the programs are not found and the process is no administrator.
#include "platform/firewall_system.h"

#include <cstdio>

#include "bakkesmod/host/firewall_service.h"

namespace platform {

namespace {

using bakkesmod::host::FirewallService;

// The apartment count of the calling thread, as COM keeps it: the first initialisation
// answers S_OK, each further one S_FALSE, and each needs its own balance.
thread_local int apartmentCount = 0;

class HostFirewallSystem : public FirewallSystem {
public:
    ResultCode InitializeCom() override { return apartmentCount++ == 0 ? kResultOk : kResultFalse; }

    void UninitializeCom() override
    {
        if (apartmentCount > 0) --apartmentCount;
    }

    ResultCode CreatePolicy() override
    {
        policy = bakkesmod::host::firewallService();
        if (!policy) return kResultClassNotRegistered;
        ResultCode code = policy->createPolicy();
        if (Failed(code)) policy.reset();
        return code;
    }

    void ReleasePolicy() override { policy.reset(); }

    FirewallLookup FindRule(const std::wstring& name) override
    {
        if (!policy) return {kResultClassNotRegistered, false};
        auto query = policy->findRule(name);
        return {query.rulesResult, query.found};
    }

    FirewallAddResult AddRule(const FirewallRuleSettings& rule) override
    {
        if (!policy) return {FirewallAddStep::CreateRule, kResultClassNotRegistered};
        bakkesmod::host::FirewallRuleRecord record;
        record.name = rule.name;
        record.description = rule.description;
        record.protocol = rule.protocol;
        record.localPorts = rule.localPorts;
        record.direction = rule.direction;
        record.action = rule.action;
        record.enabled = rule.enabled;
        record.grouping = rule.grouping;
        auto outcome = policy->addRule(record);
        using Step = bakkesmod::host::FirewallAddOutcome::Step;
        switch (outcome.failedStep) {
        case Step::Done: return {FirewallAddStep::Done, outcome.code};
        case Step::CreateRule: return {FirewallAddStep::CreateRule, outcome.code};
        case Step::GetRules: return {FirewallAddStep::GetRules, outcome.code};
        case Step::AddRule: return {FirewallAddStep::AddRule, outcome.code};
        }
        return {FirewallAddStep::AddRule, outcome.code};
    }

    LaunchResult Launch(const LaunchRequest& request) override
    {
        // The shell is the host's, whether or not a policy object was made.
        auto shell = bakkesmod::host::firewallService();
        if (!shell) return {false, kErrorFileNotFound, 0};
        auto outcome = shell->launch(request.verb, request.file, request.parameters, request.show);
        if (!outcome.launched) return {false, outcome.error, 0};
        if (outcome.process != 0) launchedBy = shell;
        return {true, 0, outcome.process};
    }

    WaitResult Wait(ProcessHandle process, std::uint32_t milliseconds) override
    {
        if (!launchedBy || process == 0) return WaitResult::Failed;
        switch (launchedBy->wait(process, milliseconds)) {
        case bakkesmod::host::FirewallWaitOutcome::Finished: return WaitResult::Finished;
        case bakkesmod::host::FirewallWaitOutcome::TimedOut: return WaitResult::TimedOut;
        case bakkesmod::host::FirewallWaitOutcome::Failed: return WaitResult::Failed;
        }
        return WaitResult::Failed;
    }

    bool ExitCode(ProcessHandle process, std::uint32_t& code) override
    {
        return launchedBy && process != 0 && launchedBy->exitCode(process, code);
    }

    void CloseProcess(ProcessHandle process) override
    {
        if (launchedBy && process != 0) launchedBy->closeProcess(process);
    }

    bool IsAdmin() override { return IsProcessAdmin(); }

    std::wstring ErrorText(ResultCode code) override;

private:
    std::shared_ptr<FirewallService> policy;
    std::shared_ptr<FirewallService> launchedBy; // the service whose process handles we hold
};

// The system's own wording for the codes a simulated firewall gives, without the line end.
const wchar_t* SystemMessage(std::uint32_t code)
{
    switch (code) {
    case 0x00000000u: return L"The operation completed successfully.";
    case 0x00000001u: return L"Incorrect function.";
    case 0x80004001u: return L"Not implemented";
    case 0x80004005u: return L"Unspecified error";
    case 0x80010106u: return L"Cannot change thread mode after it is set.";
    case 0x80040154u: return L"Class not registered";
    case 0x80070002u: return L"The system cannot find the file specified.";
    case 0x80070005u: return L"Access is denied.";
    case 0x8007000Eu: return L"Not enough memory resources are available to complete this operation.";
    case 0x80070057u: return L"The parameter is incorrect.";
    case 0x800700B7u: return L"Cannot create a file when that file already exists.";
    case 0x80070422u:
        return L"The service cannot be started, either because it is disabled or because it has no enabled "
               L"devices associated with it.";
    case 0x800706D9u: return L"There are no more endpoints available from the endpoint mapper.";
    default: return nullptr;
    }
}

std::wstring HostFirewallSystem::ErrorText(ResultCode code)
{
    const auto value = static_cast<std::uint32_t>(code);
    if (const wchar_t* message = SystemMessage(value)) return message;
    // The COM error object's own texts for a code the system has no message for.
    wchar_t text[64];
    if (value >= 0x80040200u && value <= 0x8004FFFFu)
        std::swprintf(text, 64, L"IDispatch error #%u", static_cast<unsigned>(value - 0x80040200u));
    else
        std::swprintf(text, 64, L"Unknown error 0x%0X", static_cast<unsigned>(value));
    return text;
}

} // namespace

std::unique_ptr<FirewallSystem> CreateFirewallSystem() { return std::make_unique<HostFirewallSystem>(); }

bool IsProcessAdmin()
{
    auto service = bakkesmod::host::firewallService();
    return service && service->isAdmin();
}

} // namespace platform
