// Windows Firewall through its COM policy, programs through the shell, and the token's
// membership of the Administrators group.
#include "platform/firewall_system.h"

#include <windows.h>
#include <netfw.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>

#include <cwchar>

namespace platform {

namespace {

// MinGW's uuid library does not carry the firewall GUIDs.
constexpr GUID kPolicyClass = {0xE2B3C97F, 0x6AE1, 0x41AC, {0x81, 0x7A, 0xF6, 0xF9, 0x21, 0x66, 0xD7, 0xDD}};
constexpr GUID kPolicyInterface = {0x98325047, 0xC671, 0x4174, {0x8D, 0x81, 0xDE, 0xFC, 0xD3, 0xF0, 0x31, 0x86}};
constexpr GUID kRuleClass = {0x2C5BC43E, 0x3369, 0x4C33, {0xAB, 0x0C, 0xBE, 0x94, 0x69, 0x67, 0x7A, 0xF4}};
constexpr GUID kRuleInterface = {0xAF230D27, 0xBABA, 0x4E42, {0xAC, 0xED, 0xF5, 0x24, 0xF2, 0x2C, 0xFC, 0xE2}};

// A BSTR for one call, freed after it.
class Bstr {
public:
    explicit Bstr(const std::wstring& text) : value(SysAllocString(text.c_str())) {}
    ~Bstr() { SysFreeString(value); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return value; }

private:
    BSTR value;
};

template <typename T>
void Release(T*& object)
{
    if (object) object->Release();
    object = nullptr;
}

HANDLE ToHandle(ProcessHandle process) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(process)); }

class WindowsFirewallSystem : public FirewallSystem {
public:
    ~WindowsFirewallSystem() override { Release(policy); }

    ResultCode InitializeCom() override { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void UninitializeCom() override { CoUninitialize(); }

    ResultCode CreatePolicy() override
    {
        Release(policy);
        return CoCreateInstance(kPolicyClass, nullptr, CLSCTX_INPROC_SERVER, kPolicyInterface,
                                reinterpret_cast<void**>(&policy));
    }

    void ReleasePolicy() override { Release(policy); }

    FirewallLookup FindRule(const std::wstring& name) override
    {
        if (!policy) return {E_POINTER, false};
        INetFwRules* rules = nullptr;
        HRESULT result = policy->get_Rules(&rules);
        if (FAILED(result) || !rules) return {FAILED(result) ? result : E_POINTER, false};
        INetFwRule* rule = nullptr;
        HRESULT lookup;
        {
            Bstr ruleName(name);
            lookup = rules->Item(ruleName, &rule);
        }
        const bool found = SUCCEEDED(lookup) && rule;
        Release(rule);
        Release(rules);
        return {kResultOk, found};
    }

    FirewallAddResult AddRule(const FirewallRuleSettings& settings) override
    {
        INetFwRule* rule = nullptr;
        HRESULT result = CoCreateInstance(kRuleClass, nullptr, CLSCTX_INPROC_SERVER, kRuleInterface,
                                          reinterpret_cast<void**>(&rule));
        if (FAILED(result) || !rule) return {FirewallAddStep::CreateRule, FAILED(result) ? result : E_POINTER};
        {
            Bstr name(settings.name);
            rule->put_Name(name);
        }
        if (!settings.description.empty()) {
            Bstr description(settings.description);
            rule->put_Description(description);
        }
        rule->put_Protocol(settings.protocol);
        {
            Bstr ports(settings.localPorts);
            rule->put_LocalPorts(ports);
        }
        rule->put_Direction(static_cast<NET_FW_RULE_DIRECTION>(settings.direction));
        rule->put_Action(static_cast<NET_FW_ACTION>(settings.action));
        rule->put_Enabled(settings.enabled ? VARIANT_TRUE : VARIANT_FALSE);
        {
            Bstr grouping(settings.grouping);
            rule->put_Grouping(grouping);
        }
        if (!policy) {
            Release(rule);
            return {FirewallAddStep::GetRules, E_POINTER};
        }
        INetFwRules* rules = nullptr;
        result = policy->get_Rules(&rules);
        if (FAILED(result) || !rules) {
            Release(rule);
            return {FirewallAddStep::GetRules, FAILED(result) ? result : E_POINTER};
        }
        result = rules->Add(rule);
        Release(rules);
        Release(rule);
        if (FAILED(result)) return {FirewallAddStep::AddRule, result};
        return {};
    }

    LaunchResult Launch(const LaunchRequest& request) override
    {
        SHELLEXECUTEINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.hwnd = nullptr;
        info.lpVerb = request.verb.empty() ? nullptr : request.verb.c_str();
        info.lpFile = request.file.c_str();
        info.lpParameters = request.parameters.c_str();
        info.lpDirectory = nullptr;
        info.nShow = request.show;
        if (!ShellExecuteExW(&info)) return {false, static_cast<std::uint32_t>(GetLastError()), 0};
        return {true, 0, static_cast<ProcessHandle>(reinterpret_cast<std::uintptr_t>(info.hProcess))};
    }

    WaitResult Wait(ProcessHandle process, std::uint32_t milliseconds) override
    {
        switch (WaitForSingleObject(ToHandle(process), milliseconds)) {
        case WAIT_OBJECT_0: return WaitResult::Finished;
        case WAIT_TIMEOUT: return WaitResult::TimedOut;
        default: return WaitResult::Failed;
        }
    }

    bool ExitCode(ProcessHandle process, std::uint32_t& code) override
    {
        DWORD exitCode = 0;
        if (!GetExitCodeProcess(ToHandle(process), &exitCode)) return false;
        code = exitCode;
        return true;
    }

    void CloseProcess(ProcessHandle process) override { CloseHandle(ToHandle(process)); }

    bool IsAdmin() override { return IsProcessAdmin(); }

    // The wording of the COM error object: the system's message, else its own two texts.
    std::wstring ErrorText(ResultCode code) override
    {
        wchar_t* buffer = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
            static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer), 0,
            nullptr);
        if (length > 0 && buffer) {
            std::wstring text(buffer, length);
            LocalFree(buffer);
            while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
            return text;
        }
        if (buffer) LocalFree(buffer);
        const auto value = static_cast<std::uint32_t>(code);
        wchar_t text[64];
        if (value >= 0x80040200u && value <= 0x8004FFFFu)
            std::swprintf(text, 64, L"IDispatch error #%u", static_cast<unsigned>(value - 0x80040200u));
        else
            std::swprintf(text, 64, L"Unknown error 0x%0lX", static_cast<unsigned long>(value));
        return text;
    }

private:
    INetFwPolicy2* policy = nullptr;
};

} // namespace

std::unique_ptr<FirewallSystem> CreateFirewallSystem() { return std::make_unique<WindowsFirewallSystem>(); }

// Elevation matters, not the user: a process that is not elevated is no member here.
bool IsProcessAdmin()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &administrators))
        return false;
    BOOL member = FALSE;
    const bool ok = CheckTokenMembership(nullptr, administrators, &member) && member;
    FreeSid(administrators);
    return ok;
}

} // namespace platform
