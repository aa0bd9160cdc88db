#pragma once
// The netsh and PowerShell command lines that create, check and remove the firewall rule.
#include <string>

namespace firewall_commands {

constexpr int kRulePort = 7777;
inline constexpr const wchar_t* kRuleGroup = L"BakkesMod ReverseProxy";

// netsh commands, run as "cmd.exe /C " + command.
std::wstring NetshAddRule(const std::wstring& name);
std::wstring NetshDeleteRule(const std::wstring& name);
std::wstring NetshShowRule(const std::wstring& name);
// powershell.exe parameters; the description part is left out when it is empty.
std::wstring PowerShellNewRule(const std::wstring& name, const std::wstring& description);
std::wstring PowerShellRemoveRule(const std::wstring& name);

// Texts are inserted into these lines without escaping, so a text holding a quote (the ASCII
// ones or the typographic ones PowerShell also reads as quotes) or a control character would
// end its argument early and let the rest run as more command.
bool UnsafeInCommand(const std::wstring& text);

} // namespace firewall_commands
