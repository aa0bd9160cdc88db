#include "hosted/hosting_lists.h"

#include <cctype>

#include <nlohmann/json.hpp>

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

bool ReadServerEntry(const json& entry, ServerList& list)
{
    if (!entry.is_object()) return false;
    std::string ip, port, location, domain;
    if (!StringMember(entry, "ip", ip) || !StringMember(entry, "port", port) ||
        !StringMember(entry, "location", location) || !StringMember(entry, "domain", domain))
        return false;
    list.serverLocations.push_back(std::move(location));
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
    // An object of entries is read in key order, which is how the library iterates it.
    for (const auto& entry : *parsed) {
        if (!ReadServerEntry(entry, list)) return std::nullopt;
    }
    return list;
}

std::optional<BotList> ParseBotList(const std::string& body)
{
    auto parsed = ParseJson(body);
    if (!parsed || !parsed->is_array() || parsed->empty()) return std::nullopt;
    BotList list;
    for (const auto& entry : *parsed) {
        if (entry.is_string()) {
            list.names.push_back(entry.get<std::string>());
        } else if (entry.is_object()) {
            std::string name;
            if (!StringMember(entry, "name", name)) return std::nullopt;
            auto versions = entry.find("versions");
            if (versions != entry.end()) {
                if (!versions->is_array()) return std::nullopt;
                std::vector<std::string> names;
                for (const auto& version : *versions) {
                    if (!version.is_string()) return std::nullopt;
                    names.push_back(version.get<std::string>());
                }
                list.botVersions[name] = std::move(names);
            }
            list.names.push_back(std::move(name));
        }
    }
    return list;
}

BotDetails ApplyBotDetails(BotDetails details, const std::string& body)
{
    static const std::pair<const char*, std::string BotDetails::*> keys[] = {
        {"description", &BotDetails::botDescription},
        {"tags", &BotDetails::botTags},
        {"developer", &BotDetails::botDeveloper},
        {"fun_fact", &BotDetails::botFunFact},
    };
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        const std::string line = body.substr(start, end - start);
        for (const auto& [key, field] : keys) {
            if (line.find(key) == std::string::npos) continue;
            const size_t equals = line.find('=');
            details.*field = equals == std::string::npos ? line : line.substr(equals + 1);
            break;
        }
        start = end + 1;
    }
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
