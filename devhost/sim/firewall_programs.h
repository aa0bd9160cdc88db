#pragma once
// The simulated cmd.exe (running netsh) and powershell.exe: they read the command lines the
// firewall manager builds, carry them out on the rule store, and, as the real programs do,
// exit non-zero with a message for a line they cannot read or a request that fails.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/firewall_rules.h"

namespace devhost {

struct ProgramRun {
    bool found = true;           // false: no such program (the launch fails with error 2)
    std::uint32_t exitCode = 0;
    std::vector<std::string> output; // what the program printed, one line each
};

// The program's file name alone, lower case: "C:\\Windows\\System32\\CMD.EXE" -> "cmd.exe".
std::wstring ProgramName(const std::wstring& file);
bool IsKnownProgram(const std::wstring& file);

// Splits a command line into arguments by the rules of the Windows C runtime: blanks
// separate, double quotes group, backslashes escape only before a double quote.
std::vector<std::wstring> SplitCommandLine(const std::wstring& line);

ProgramRun RunFirewallProgram(const std::wstring& file, const std::wstring& parameters, bool elevated,
                              FirewallRuleStore& store);

} // namespace devhost
