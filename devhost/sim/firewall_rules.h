#pragma once
// The simulated Windows Firewall's rules, kept in a JSON file under the data folder so they
// outlive the host as real rules outlive the game.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bakkesmod/host/firewall_service.h"

namespace devhost {

using bakkesmod::host::FirewallRuleRecord;

// Wide text (UTF-32 on Linux, UTF-16 where wchar_t is 16 bits) to UTF-8 and back;
// malformed input becomes U+FFFD.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// Case-insensitive for ASCII letters, as Windows compares rule names.
bool SameRuleName(const std::wstring& a, const std::wstring& b);

class FirewallRuleStore {
public:
    explicit FirewallRuleStore(std::filesystem::path file) : path(std::move(file)) {}

    // Reads the file; a missing file is an empty firewall. A file that cannot be read is
    // moved aside (never overwritten) and the store starts empty. Returns what happened
    // when that is worth a line, else "".
    std::string load();

    const std::vector<FirewallRuleRecord>& rules() const { return list; }
    bool contains(const std::wstring& name) const;
    // Both write the file first and change the rules only when that worked: the file and
    // the firewall never disagree. Return an error text, or "".
    std::string add(const FirewallRuleRecord& rule);
    // Removes every rule of that name (names need not be unique); removed counts them.
    std::string remove(const std::wstring& name, size_t& removed);
    std::string removeWhere(const std::function<bool(const FirewallRuleRecord&)>& matches, size_t& removed);
    const std::filesystem::path& file() const { return path; }

private:
    std::string save(const std::vector<FirewallRuleRecord>& rules) const;

    std::filesystem::path path;
    std::vector<FirewallRuleRecord> list;
};

} // namespace devhost
