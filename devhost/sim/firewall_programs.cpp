#include "sim/firewall_programs.h"

#include <map>
#include <optional>

namespace devhost {

namespace {

constexpr std::uint32_t kCmdNotRecognised = 9009;
const char* kElevationNeeded = "The requested operation requires elevation (Run as administrator).";
const char* kNoRulesMatch = "No rules match the specified criteria.";

std::wstring Lower(std::wstring text)
{
    for (auto& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

ProgramRun Fail(std::uint32_t code, std::vector<std::string> output)
{
    ProgramRun run;
    run.exitCode = code;
    run.output = std::move(output);
    return run;
}

ProgramRun Succeed(std::vector<std::string> output)
{
    ProgramRun run;
    run.output = std::move(output);
    return run;
}

bool ParseNumber(const std::wstring& text, long max, long& value)
{
    if (text.empty() || text.size() > 6) return false;
    value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    return value <= max;
}

// "7777", "1000-2000", "80,443" or "any": the port lists both programs take.
bool ValidPorts(const std::wstring& ports)
{
    if (Lower(ports) == L"any") return true;
    size_t start = 0;
    while (true) {
        size_t comma = ports.find(L',', start);
        std::wstring item = ports.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        size_t dash = item.find(L'-');
        long low = 0, high = 0;
        if (dash == std::wstring::npos) {
            if (!ParseNumber(item, 65535, low) || low == 0) return false;
        } else if (!ParseNumber(item.substr(0, dash), 65535, low) || !ParseNumber(item.substr(dash + 1), 65535, high) ||
                   low == 0 || low > high) {
            return false;
        }
        if (comma == std::wstring::npos) return true;
        start = comma + 1;
    }
}

std::optional<std::int32_t> ProtocolNumber(const std::wstring& value)
{
    const std::wstring p = Lower(value);
    if (p == L"tcp") return 6;
    if (p == L"udp") return 17;
    if (p == L"any") return 256;
    if (p == L"icmpv4") return 1;
    if (p == L"icmpv6") return 58;
    long number = 0;
    if (ParseNumber(p, 255, number)) return static_cast<std::int32_t>(number);
    return std::nullopt;
}

bool MatchesFilters(const FirewallRuleRecord& rule, std::optional<std::int32_t> direction,
                    std::optional<std::int32_t> protocol, const std::optional<std::wstring>& ports)
{
    if (direction && rule.direction != *direction) return false;
    if (protocol && rule.protocol != *protocol) return false;
    if (ports && Lower(rule.localPorts) != Lower(*ports)) return false;
    return true;
}

std::string ProtocolName(std::int32_t protocol)
{
    switch (protocol) {
    case 6: return "TCP";
    case 17: return "UDP";
    case 256: return "Any";
    case 1: return "ICMPv4";
    case 58: return "ICMPv6";
    default: return std::to_string(protocol);
    }
}

std::vector<std::string> DescribeRule(const FirewallRuleRecord& rule)
{
    return {"Rule Name:                            " + ToUtf8(rule.name),
            "----------------------------------------------------------------------",
            std::string("Enabled:                              ") + (rule.enabled ? "Yes" : "No"),
            std::string("Direction:                            ") + (rule.direction == 2 ? "Out" : "In"),
            "Grouping:                             " + ToUtf8(rule.grouping),
            "Protocol:                             " + ProtocolName(rule.protocol),
            "LocalPort:                            " + (rule.localPorts.empty() ? std::string("Any") : ToUtf8(rule.localPorts)),
            std::string("Action:                               ") +
                (rule.action == 0 ? "Block" : rule.action == 2 ? "Bypass" : "Allow"),
            ""};
}

// -- netsh advfirewall firewall add|delete|show rule ... ----------------------------------------

ProgramRun Netsh(const std::vector<std::wstring>& argv, bool elevated, FirewallRuleStore& store)
{
    const std::string usage = "The syntax supplied for this command is not valid. Check help for the correct syntax.";
    if (argv.size() < 5 || Lower(argv[1]) != L"advfirewall" || Lower(argv[2]) != L"firewall" || Lower(argv[4]) != L"rule")
        return Fail(1, {"The following command was not found: " + [&] {
                            std::string words;
                            for (size_t i = 1; i < argv.size(); ++i) words += (i > 1 ? " " : "") + ToUtf8(argv[i]);
                            return words;
                        }() + "."});
    const std::wstring verb = Lower(argv[3]);
    if (verb != L"add" && verb != L"delete" && verb != L"show") return Fail(1, {usage});

    std::map<std::wstring, std::wstring> values;
    for (size_t i = 5; i < argv.size(); ++i) {
        const auto equals = argv[i].find(L'=');
        if (equals == std::wstring::npos || equals == 0) return Fail(1, {usage});
        const std::wstring key = Lower(argv[i].substr(0, equals));
        if (values.count(key)) return Fail(1, {usage});
        values[key] = argv[i].substr(equals + 1);
    }
    auto take = [&](const wchar_t* key) -> std::optional<std::wstring> {
        auto found = values.find(key);
        if (found == values.end()) return std::nullopt;
        std::wstring value = found->second;
        values.erase(found);
        return value;
    };

    const auto name = take(L"name");
    if (!name || name->empty()) return Fail(1, {usage});
    std::optional<std::int32_t> direction;
    if (auto dir = take(L"dir")) {
        if (Lower(*dir) == L"in") direction = 1;
        else if (Lower(*dir) == L"out") direction = 2;
        else return Fail(1, {"A specified value is not valid.", usage});
    }
    std::optional<std::int32_t> protocol;
    if (auto value = take(L"protocol")) {
        protocol = ProtocolNumber(*value);
        if (!protocol) return Fail(1, {"A specified protocol value is not valid.", usage});
    }
    auto ports = take(L"localport");
    if (ports && (!ValidPorts(*ports) || !protocol || (*protocol != 6 && *protocol != 17)))
        return Fail(1, {"A specified port value is not valid.", usage});

    if (verb == L"add") {
        auto action = take(L"action");
        auto enable = take(L"enable");
        auto description = take(L"description");
        if (!values.empty() || !direction || !action || Lower(*name) == L"all") return Fail(1, {usage});
        FirewallRuleRecord rule;
        rule.name = *name;
        rule.description = description.value_or(L"");
        rule.protocol = protocol.value_or(256);
        rule.localPorts = ports.value_or(L"");
        rule.direction = *direction;
        const std::wstring act = Lower(*action);
        if (act == L"allow") rule.action = 1;
        else if (act == L"block") rule.action = 0;
        else if (act == L"bypass") rule.action = 2;
        else return Fail(1, {"A specified value is not valid.", usage});
        const std::wstring on = Lower(enable.value_or(L"yes"));
        if (on != L"yes" && on != L"no") return Fail(1, {"A specified value is not valid.", usage});
        rule.enabled = on == L"yes";
        if (!elevated) return Fail(1, {kElevationNeeded});
        std::string error = store.add(rule);
        if (!error.empty()) return Fail(1, {"An error occurred while saving the rule: " + error});
        return Succeed({"Ok."});
    }

    const bool all = Lower(*name) == L"all";
    auto matches = [&](const FirewallRuleRecord& rule) {
        return (all || SameRuleName(rule.name, *name)) && MatchesFilters(rule, direction, protocol, ports);
    };

    if (verb == L"delete") {
        if (!values.empty()) return Fail(1, {usage});
        if (!elevated) return Fail(1, {kElevationNeeded});
        size_t removed = 0;
        std::string error = store.removeWhere(matches, removed);
        if (!error.empty()) return Fail(1, {"An error occurred while deleting the rule: " + error});
        if (removed == 0) return Fail(1, {kNoRulesMatch});
        return Succeed({"", "Deleted " + std::to_string(removed) + " rule(s).", "Ok."});
    }

    // show: needs no elevation
    take(L"verbose");
    if (!values.empty()) return Fail(1, {usage});
    std::vector<std::string> output{""};
    size_t shown = 0;
    for (const auto& rule : store.rules()) {
        if (!matches(rule)) continue;
        for (auto& line : DescribeRule(rule)) output.push_back(std::move(line));
        ++shown;
    }
    if (shown == 0) return Fail(1, {kNoRulesMatch});
    output.push_back("Ok.");
    return Succeed(std::move(output));
}

// cmd.exe /C <command>: only a single netsh command; anything cmd would treat as more than
// one command, a redirection or an escape is a line this simulation refuses to run.
ProgramRun Cmd(const std::wstring& parameters, bool elevated, FirewallRuleStore& store)
{
    if (parameters.size() < 3 || Lower(parameters.substr(0, 3)) != L"/c ")
        return Fail(1, {"The simulated cmd.exe runs only \"/C <command>\": " + ToUtf8(parameters)});
    const std::wstring command = parameters.substr(3);
    bool quoted = false;
    for (wchar_t c : command) {
        if (c == L'"') quoted = !quoted;
        else if (!quoted && (c == L'&' || c == L'|' || c == L'<' || c == L'>' || c == L'^' || c == L'\n' || c == L'\r'))
            return Fail(1, {"The simulated cmd.exe cannot read this line (it would run more than the one command): " +
                            ToUtf8(command)});
    }
    if (quoted) return Fail(1, {"The simulated cmd.exe cannot read this line (a quote is not closed): " + ToUtf8(command)});
    const auto argv = SplitCommandLine(command);
    if (argv.empty()) return Succeed({});
    const std::wstring program = Lower(argv[0]);
    if (program != L"netsh" && program != L"netsh.exe")
        return Fail(kCmdNotRecognised, {"'" + ToUtf8(argv[0]) +
                                        "' is not recognized as an internal or external command,",
                                        "operable program or batch file."});
    return Netsh(argv, elevated, store);
}

// -- powershell.exe -Command "<cmdlet> -Parameter value ..." -----------------------------------

struct ScriptToken {
    std::wstring text;
    bool parameter = false; // -Name
};

bool IsSingleQuote(wchar_t c) { return c == L'\'' || (c >= 0x2018 && c <= 0x201B); }
bool IsDoubleQuote(wchar_t c) { return c == L'"' || (c >= 0x201C && c <= 0x201E); }

// The part of PowerShell's syntax the firewall cmdlets need: bare words, -Parameters and
// single-quoted strings ('' for a quote). Anything else (variables, sub-expressions, pipes,
// statement separators, double-quoted strings) is refused: the line is not what it seems.
std::optional<std::vector<ScriptToken>> TokenizeScript(const std::wstring& script, std::string& error)
{
    std::vector<ScriptToken> tokens;
    size_t i = 0;
    while (i < script.size()) {
        const wchar_t c = script[i];
        if (c == L' ' || c == L'\t') {
            ++i;
            continue;
        }
        if (IsSingleQuote(c)) {
            std::wstring text;
            ++i;
            while (true) {
                if (i >= script.size()) {
                    error = "The string is missing the terminator: '.";
                    return std::nullopt;
                }
                if (IsSingleQuote(script[i])) {
                    if (i + 1 < script.size() && IsSingleQuote(script[i + 1])) {
                        text += L'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += script[i++];
            }
            // A closed string runs straight into more text: "'a'b'" is not one argument.
            if (i < script.size() && script[i] != L' ' && script[i] != L'\t') {
                error = "Unexpected token '" + ToUtf8(script.substr(i)) + "' in expression or statement.";
                return std::nullopt;
            }
            tokens.push_back({text, false});
            continue;
        }
        std::wstring word;
        while (i < script.size() && script[i] != L' ' && script[i] != L'\t') {
            const wchar_t w = script[i];
            if (IsSingleQuote(w) || IsDoubleQuote(w) || w == L'$' || w == L'`' || w == L';' || w == L'|' || w == L'&' ||
                w == L'(' || w == L')' || w == L'{' || w == L'}' || w == L'@' || w == L'<' || w == L'>' || w < 0x20) {
                error = "The simulated PowerShell cannot read this command at: " + ToUtf8(script.substr(i));
                return std::nullopt;
            }
            word += w;
            ++i;
        }
        const bool parameter = word.size() > 1 && word[0] == L'-' && !(word[1] >= L'0' && word[1] <= L'9');
        tokens.push_back({parameter ? word.substr(1) : word, parameter});
    }
    return tokens;
}

ProgramRun RunCmdlet(const std::vector<ScriptToken>& tokens, bool elevated, FirewallRuleStore& store)
{
    if (tokens.empty()) return Succeed({});
    const std::wstring cmdlet = Lower(tokens[0].text);
    std::map<std::wstring, std::wstring> values;
    for (size_t i = 1; i < tokens.size(); i += 2) {
        if (!tokens[i].parameter)
            return Fail(1, {"A positional parameter cannot be found that accepts argument '" + ToUtf8(tokens[i].text) + "'."});
        if (i + 1 >= tokens.size() || tokens[i + 1].parameter)
            return Fail(1, {"Missing an argument for parameter '" + ToUtf8(tokens[i].text) + "'."});
        const std::wstring key = Lower(tokens[i].text);
        if (values.count(key))
            return Fail(1, {"Cannot bind parameter because parameter '" + ToUtf8(tokens[i].text) +
                            "' is specified more than once."});
        values[key] = tokens[i + 1].text;
    }
    auto take = [&](const wchar_t* key) -> std::optional<std::wstring> {
        auto found = values.find(key);
        if (found == values.end()) return std::nullopt;
        std::wstring value = found->second;
        values.erase(found);
        return value;
    };
    auto unknown = [&] {
        return Fail(1, {"A parameter cannot be found that matches parameter name '" + ToUtf8(values.begin()->first) + "'."});
    };

    if (cmdlet == L"new-netfirewallrule") {
        auto displayName = take(L"displayname");
        auto direction = take(L"direction");
        auto protocol = take(L"protocol");
        auto ports = take(L"localport");
        auto action = take(L"action");
        auto description = take(L"description");
        auto group = take(L"group");
        auto enabled = take(L"enabled");
        if (!values.empty()) return unknown();
        if (!displayName || displayName->empty()) return Fail(1, {"The DisplayName of a rule cannot be empty."});
        FirewallRuleRecord rule;
        rule.name = *displayName;
        rule.description = description.value_or(L"");
        rule.grouping = group.value_or(L"");
        const std::wstring dir = Lower(direction.value_or(L"Inbound"));
        if (dir == L"inbound") rule.direction = 1;
        else if (dir == L"outbound") rule.direction = 2;
        else return Fail(1, {"Cannot process argument transformation on parameter 'Direction'."});
        auto number = ProtocolNumber(protocol.value_or(L"Any"));
        if (!number) return Fail(1, {"Cannot process argument transformation on parameter 'Protocol'."});
        rule.protocol = *number;
        if (ports) {
            if (!ValidPorts(*ports)) return Fail(1, {"The port value is invalid."});
            if (rule.protocol != 6 && rule.protocol != 17)
                return Fail(1, {"The port is only valid with the TCP or UDP protocol."});
            rule.localPorts = *ports;
        }
        const std::wstring act = Lower(action.value_or(L"Allow"));
        if (act == L"allow") rule.action = 1;
        else if (act == L"block") rule.action = 0;
        else return Fail(1, {"Cannot process argument transformation on parameter 'Action'."});
        const std::wstring on = Lower(enabled.value_or(L"True"));
        if (on != L"true" && on != L"false") return Fail(1, {"Cannot process argument transformation on parameter 'Enabled'."});
        rule.enabled = on == L"true";
        if (!elevated) return Fail(1, {"New-NetFirewallRule : Access is denied."});
        std::string error = store.add(rule);
        if (!error.empty()) return Fail(1, {"New-NetFirewallRule : " + error});
        return Succeed({"DisplayName : " + ToUtf8(rule.name), "Enabled     : " + std::string(rule.enabled ? "True" : "False"),
                        "Direction   : " + std::string(rule.direction == 2 ? "Outbound" : "Inbound"),
                        "Action      : " + std::string(rule.action == 0 ? "Block" : "Allow")});
    }

    if (cmdlet == L"remove-netfirewallrule") {
        auto displayName = take(L"displayname");
        if (!values.empty()) return unknown();
        if (!displayName) return Fail(1, {"Remove-NetFirewallRule needs -DisplayName in this simulation."});
        if (!elevated) return Fail(1, {"Remove-NetFirewallRule : Access is denied."});
        size_t removed = 0;
        std::string error = store.remove(*displayName, removed);
        if (!error.empty()) return Fail(1, {"Remove-NetFirewallRule : " + error});
        if (removed == 0)
            return Fail(1, {"Remove-NetFirewallRule : No MSFT_NetFirewallRule objects found with property 'DisplayName' "
                            "equal to '" + ToUtf8(*displayName) + "'."});
        return Succeed({});
    }

    return Fail(1, {"The term '" + ToUtf8(tokens[0].text) +
                    "' is not recognized as the name of a cmdlet, function, script file, or operable program."});
}

ProgramRun PowerShell(const std::wstring& parameters, bool elevated, FirewallRuleStore& store)
{
    const auto argv = SplitCommandLine(parameters);
    size_t i = 0;
    while (i < argv.size()) {
        const std::wstring option = Lower(argv[i]);
        if (option == L"-noprofile" || option == L"-noninteractive" || option == L"-nologo") {
            ++i;
        } else if (option == L"-command") {
            ++i;
            break;
        } else {
            return Fail(1, {"The simulated powershell.exe does not take the option " + ToUtf8(argv[i]) + "."});
        }
    }
    if (i == 0 || Lower(argv[i - 1]) != L"-command")
        return Fail(1, {"The simulated powershell.exe runs only -Command <command>."});
    std::wstring script;
    for (size_t k = i; k < argv.size(); ++k) script += (k > i ? L" " : L"") + argv[k];
    std::string error;
    auto tokens = TokenizeScript(script, error);
    if (!tokens) return Fail(1, {error});
    return RunCmdlet(*tokens, elevated, store);
}

} // namespace

std::wstring ProgramName(const std::wstring& file)
{
    const auto slash = file.find_last_of(L"\\/");
    return Lower(slash == std::wstring::npos ? file : file.substr(slash + 1));
}

bool IsKnownProgram(const std::wstring& file)
{
    const std::wstring name = ProgramName(file);
    return name == L"cmd.exe" || name == L"cmd" || name == L"powershell.exe" || name == L"powershell";
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& line)
{
    std::vector<std::wstring> argv;
    std::wstring current;
    bool inArgument = false, quoted = false;
    size_t i = 0;
    while (i < line.size()) {
        const wchar_t c = line[i];
        if (c == L'\\') {
            size_t slashes = 0;
            while (i < line.size() && line[i] == L'\\') ++slashes, ++i;
            if (i < line.size() && line[i] == L'"') {
                current.append(slashes / 2, L'\\');
                if (slashes % 2 == 1) {
                    current += L'"';
                    ++i;
                }
            } else {
                current.append(slashes, L'\\');
            }
            inArgument = true;
            continue;
        }
        if (c == L'"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == L'"') { // "" inside quotes: one quote
                current += L'"';
                i += 2;
                continue;
            }
            quoted = !quoted;
            inArgument = true;
            ++i;
            continue;
        }
        if (!quoted && (c == L' ' || c == L'\t')) {
            if (inArgument) argv.push_back(current);
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        current += c;
        inArgument = true;
        ++i;
    }
    if (inArgument) argv.push_back(current);
    return argv;
}

ProgramRun RunFirewallProgram(const std::wstring& file, const std::wstring& parameters, bool elevated,
                              FirewallRuleStore& store)
{
    const std::wstring name = ProgramName(file);
    if (name == L"cmd.exe" || name == L"cmd") return Cmd(parameters, elevated, store);
    if (name == L"powershell.exe" || name == L"powershell") return PowerShell(parameters, elevated, store);
    ProgramRun run;
    run.found = false;
    return run;
}

} // namespace devhost
