#include "hosted/hosting_lists.h"

#include <cctype>
#include <string_view>

#include <nlohmann/json.hpp>

#include "lobby/lobby_address.h"
#include "lobby/remote_text.h"

namespace hosted {

namespace {

using nlohmann::json;

bool StringMember(const json& entry, const char* key, std::string& out)
{
    auto found = entry.find(key);
    if (found == entry.end() || !found->is_string()) return false;
    out = found->get<std::string>();
    return true;
}

// The endpoint goes into request addresses and log lines: a host name or IPv4 address, and a port.
bool UsableEndpoint(const std::string& ip, const std::string& port)
{
    if (ip.size() > lobby::kMaxHostNameBytes || !lobby::IsPlainHostAddress(ip)) return false;
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
    const int number = std::stoi(port);
    return number >= 1 && number <= 65535;
}

bool ReadServerEntry(const json& entry, ServerList& list, remote_text::Cleaner& cleaner)
{
    if (!entry.is_object()) return false;
    std::string ip, port, location, domain;
    if (!StringMember(entry, "ip", ip) || !StringMember(entry, "port", port) ||
        !StringMember(entry, "location", location) || !StringMember(entry, "domain", domain) ||
        !UsableEndpoint(ip, port))
        return false;
    list.serverLocations.push_back(cleaner.Name(location));
    list.serverEndpoints.push_back(ip + ":" + port);
    return true;
}

std::optional<json> ParseJson(const std::string& body)
{
    json parsed = json::parse(body, nullptr, false);
    if (parsed.is_discarded()) return std::nullopt;
    return parsed;
}

} // namespace

std::optional<ServerList> ParseServerList(const std::string& body)
{
    auto parsed = ParseJson(body);
    if (!parsed || parsed->is_null() || !parsed->is_structured() || parsed->empty()) return std::nullopt;
    ServerList list;
    remote_text::Cleaner cleaner;
    // An object of entries is read in key order, which is how the library iterates it.
    for (const auto& entry : *parsed) {
        if (!ReadServerEntry(entry, list, cleaner)) ++list.skipped;
    }
    list.textsShortened = cleaner.Shortened();
    return list;
}

std::optional<BotList> ParseBotList(const std::string& body)
{
    auto parsed = ParseJson(body);
    if (!parsed || !parsed->is_array() || parsed->empty()) return std::nullopt;
    BotList list;
    remote_text::Cleaner cleaner;
    for (const auto& entry : *parsed) {
        if (entry.is_string()) {
            list.names.push_back(cleaner.Name(entry.get<std::string>()));
        } else if (entry.is_object()) {
            std::string name;
            if (!StringMember(entry, "name", name)) return std::nullopt;
            name = cleaner.Name(name);
            auto versions = entry.find("versions");
            if (versions != entry.end()) {
                if (!versions->is_array()) return std::nullopt;
                std::vector<std::string> names;
                for (const auto& version : *versions) {
                    if (!version.is_string()) return std::nullopt;
                    names.push_back(cleaner.Name(version.get<std::string>()));
                }
                list.botVersions[name] = std::move(names);
            }
            list.names.push_back(std::move(name));
        }
    }
    list.textsShortened = cleaner.Shortened();
    return list;
}

BotDetails ParseBotDetails(const std::string& body)
{
    static const std::pair<std::string_view, std::string BotDetails::*> keys[] = {
        {"description", &BotDetails::botDescription},
        {"tags", &BotDetails::botTags},
        {"developer", &BotDetails::botDeveloper},
        {"fun_fact", &BotDetails::botFunFact},
    };
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    BotDetails details;
    remote_text::Cleaner cleaner;
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        std::string_view line(body.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        size_t at = 0;
        while (at < line.size() && blank(line[at])) ++at;
        for (const auto& [key, field] : keys) {
            if (line.compare(at, key.size(), key) != 0) continue;
            size_t equals = at + key.size();
            while (equals < line.size() && blank(line[equals])) ++equals;
            if (equals >= line.size() || line[equals] != '=') continue;
            details.*field = cleaner.Text(line.substr(equals + 1));
            break;
        }
    }
    details.textsShortened = cleaner.Shortened();
    return details;
}

// The same as replacing every match of \s*\([^)]*\)\s* (ECMAScript) with nothing. Written out
// because the standard library's matcher recurses once per character, so a long name from the
// remote catalogue could exhaust the stack of the drawing pass.
std::string CleanBotName(const std::string& name)
{
    auto space = [&](size_t i) { return std::isspace(static_cast<unsigned char>(name[i])) != 0; };
    const size_t lastClose = name.rfind(')');
    std::string cleaned;
    cleaned.reserve(name.size());
    size_t i = 0;
    while (i < name.size()) {
        size_t j = i;
        while (j < name.size() && space(j)) ++j;
        if (j < name.size() && name[j] == '(' && lastClose != std::string::npos && lastClose > j) {
            size_t end = name.find(')', j + 1) + 1;
            while (end < name.size() && space(end)) ++end;
            i = end;
            continue;
        }
        cleaned += name[i++];
    }
    return cleaned;
}

std::string PercentEncode(const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (unsigned char c : text) {
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '_' || c == '.' || c == '~';
        if (unreserved) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 0x0F];
        }
    }
    return encoded;
}

} // namespace hosted
