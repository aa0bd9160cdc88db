#include "sim/firewall_rules.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include <nlohmann/json.hpp>

namespace devhost {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendWide(std::wstring& out, char32_t c)
{
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(c);
}

FirewallRuleRecord FromJson(const nlohmann::json& j)
{
    FirewallRuleRecord rule;
    rule.name = FromUtf8(j.at("name").get<std::string>());
    rule.description = FromUtf8(j.value("description", ""));
    rule.protocol = j.value("protocol", 256);
    rule.localPorts = FromUtf8(j.value("localPorts", ""));
    rule.direction = j.value("direction", 1);
    rule.action = j.value("action", 1);
    rule.enabled = j.value("enabled", true);
    rule.grouping = FromUtf8(j.value("grouping", ""));
    return rule;
}

nlohmann::json ToJson(const FirewallRuleRecord& rule)
{
    return {{"name", ToUtf8(rule.name)},           {"description", ToUtf8(rule.description)},
            {"protocol", rule.protocol},           {"localPorts", ToUtf8(rule.localPorts)},
            {"direction", rule.direction},         {"action", rule.action},
            {"enabled", rule.enabled},             {"grouping", ToUtf8(rule.grouping)}};
}

} // namespace

std::string ToUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::wstring FromUtf8(const std::string& text)
{
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            AppendWide(out, kReplacement);
            ++i;
            continue;
        }
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) valid = false;
            c = (c << 6) | (next & 0x3F);
        }
        static const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!valid || c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            AppendWide(out, kReplacement);
            ++i;
            continue;
        }
        AppendWide(out, c);
        i += length;
    }
    return out;
}

bool SameRuleName(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string FirewallRuleStore::load()
{
    list.clear();
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return "";
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    try {
        auto document = nlohmann::json::parse(content.str());
        std::vector<FirewallRuleRecord> loaded;
        for (const auto& entry : document.at("rules")) loaded.push_back(FromJson(entry));
        list = std::move(loaded);
        return "";
    } catch (const std::exception& thrown) {
        auto aside = path;
        aside += ".unreadable";
        std::filesystem::rename(path, aside, error);
        return "cannot read the firewall rules in " + path.string() + " (" + thrown.what() + "); " +
               (error ? "left it in place, starting with no rules" : "moved it to " + aside.string() + ", starting with no rules");
    }
}

bool FirewallRuleStore::contains(const std::wstring& name) const
{
    for (const auto& rule : list)
        if (SameRuleName(rule.name, name)) return true;
    return false;
}

std::string FirewallRuleStore::add(const FirewallRuleRecord& rule)
{
    auto next = list;
    next.push_back(rule);
    std::string error = save(next);
    if (error.empty()) list = std::move(next);
    return error;
}

std::string FirewallRuleStore::remove(const std::wstring& name, size_t& removed)
{
    return removeWhere([&](const FirewallRuleRecord& rule) { return SameRuleName(rule.name, name); }, removed);
}

std::string FirewallRuleStore::removeWhere(const std::function<bool(const FirewallRuleRecord&)>& matches, size_t& removed)
{
    std::vector<FirewallRuleRecord> next;
    for (const auto& rule : list)
        if (!matches(rule)) next.push_back(rule);
    removed = list.size() - next.size();
    if (removed == 0) return "";
    std::string error = save(next);
    if (error.empty()) list = std::move(next);
    else removed = 0;
    return error;
}

std::string FirewallRuleStore::save(const std::vector<FirewallRuleRecord>& rules) const
{
    nlohmann::json entries = nlohmann::json::array();
    for (const auto& rule : rules) entries.push_back(ToJson(rule));
    const std::string text = nlohmann::json{{"rules", entries}}.dump(2) + "\n";
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    // Written beside it and renamed over it, so a failed write leaves the old rules whole.
    auto temporary = path;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) return "cannot write " + temporary.string();
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return "cannot replace " + path.string();
    }
    return "";
}

} // namespace devhost
