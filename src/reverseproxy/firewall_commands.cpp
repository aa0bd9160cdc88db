#include "reverseproxy/firewall_commands.h"

namespace firewall_commands {

namespace {
const std::wstring kPort = std::to_wstring(kRulePort);
} // namespace

std::wstring NetshAddRule(const std::wstring& name)
{
    return L"netsh advfirewall firewall add rule " + (L"name=\"" + name) + L"\" " + L"dir=in " + L"action=allow " +
           L"protocol=UDP " + L"localport=" + kPort + L" " + L"enable=yes";
}

std::wstring NetshDeleteRule(const std::wstring& name)
{
    return L"netsh advfirewall firewall delete rule " + (L"name=\"" + name) + L"\"";
}

std::wstring NetshShowRule(const std::wstring& name)
{
    return L"netsh advfirewall firewall show rule " + (L"name=\"" + name) + L"\"";
}

std::wstring PowerShellNewRule(const std::wstring& name, const std::wstring& description)
{
    std::wstring parameters = L"-NoProfile -NonInteractive -Command \"";
    parameters += L"New-NetFirewallRule ";
    parameters += L"-DisplayName '" + name + L"' ";
    parameters += L"-Direction Inbound ";
    parameters += L"-Protocol UDP ";
    parameters += L"-LocalPort " + kPort + L" ";
    parameters += L"-Action Allow ";
    if (!description.empty()) parameters += L"-Description '" + description + L"' ";
    parameters += L"-Group '" + std::wstring(kRuleGroup) + L"'";
    parameters += L"\"";
    return parameters;
}

std::wstring PowerShellRemoveRule(const std::wstring& name)
{
    return L"-NoProfile -NonInteractive -Command \"" + std::wstring(L"Remove-NetFirewallRule ") + L"-DisplayName '" +
           name + L"'" + L"\"";
}

bool UnsafeInCommand(const std::wstring& text)
{
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\'') return true;
        if (c >= 0x2018 && c <= 0x201E) return true; // ‘ ’ ‚ ‛ “ ” „
        if (c < 0x20 || c == 0x7F) return true;
        if (c == 0x2028 || c == 0x2029 || c == 0x85) return true; // line and paragraph separators
    }
    return false;
}

} // namespace firewall_commands
