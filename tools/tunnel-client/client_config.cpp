#include "client_config.h"
#include "toml_ascii.h"

#include <toml++/toml.h>

#include <fstream>
#include <set>
#include <sstream>

namespace tunnel {

namespace {

bool Take(const toml::table& table, const std::string& key, std::string& out, std::string& error, const std::string& where)
{
    auto node = table.get(key);
    if (!node) return true;
    if (!node->is_string()) {
        error = where + key + ": must be a string";
        return false;
    }
    out = **node->as_string();
    return true;
}

bool Take(const toml::table& table, const std::string& key, int& out, std::string& error, const std::string& where)
{
    auto node = table.get(key);
    if (!node) return true;
    if (!node->is_integer() || **node->as_integer() < 0 || **node->as_integer() > 65535) {
        error = where + key + ": must be an integer from 0 to 65535";
        return false;
    }
    out = static_cast<int>(**node->as_integer());
    return true;
}

bool OnlyKnownKeys(const toml::table& table, const std::set<std::string>& known, std::string& error,
                   const std::string& where)
{
    for (auto&& [key, value] : table) {
        if (!known.count(std::string(key.str()))) {
            error = "unknown field \"" + where + std::string(key.str()) + "\"";
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<ClientConfig> ReadClientConfig(const std::string& path, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "load config file error: cannot open " + path;
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return ParseClientConfig(text.str(), error);
}

std::optional<ClientConfig> ParseClientConfig(const std::string& text, std::string& error)
{
    const AsciiToml ascii = ToAsciiToml(text);
    if (ascii.refusedLine) {
        error = "load config file error: " + ascii.reason + " (line " + std::to_string(ascii.refusedLine) + ")";
        return std::nullopt;
    }
    toml::table table;
    try {
        table = toml::parse(ascii.text);
    } catch (const toml::parse_error& failure) {
        error = "load config file error: " + std::string(failure.description()) + " (line " +
                std::to_string(failure.source().begin.line) + ")";
        return std::nullopt;
    }
    ClientConfig config;
    if (!OnlyKnownKeys(table, {"serverAddr", "serverPort", "auth", "loginFailExit", "proxies"}, error, "")) return std::nullopt;
    if (!Take(table, "serverAddr", config.serverAddr, error, "") || !Take(table, "serverPort", config.serverPort, error, ""))
        return std::nullopt;
    if (auto node = table.get("loginFailExit")) {
        if (!node->is_boolean()) {
            error = "loginFailExit: must be a boolean";
            return std::nullopt;
        }
        config.loginFailExit = **node->as_boolean();
    }
    if (auto node = table.get("auth")) {
        auto* auth = node->as_table();
        if (!auth) {
            error = "auth: must be a table";
            return std::nullopt;
        }
        if (!OnlyKnownKeys(*auth, {"method", "token"}, error, "auth.") || !Take(*auth, "token", config.token, error, "auth."))
            return std::nullopt;
    }
    if (auto node = table.get("proxies")) {
        auto* list = node->as_array();
        if (!list) {
            error = "proxies: must be an array of tables";
            return std::nullopt;
        }
        for (auto& entry : *list) {
            auto* proxy = entry.as_table();
            if (!proxy) {
                error = "proxies: must be an array of tables";
                return std::nullopt;
            }
            ProxyConfig parsed;
            if (!OnlyKnownKeys(*proxy, {"name", "type", "localIP", "localPort", "remotePort"}, error, "proxies.") ||
                !Take(*proxy, "name", parsed.name, error, "proxies.") || !Take(*proxy, "type", parsed.type, error, "proxies.") ||
                !Take(*proxy, "localIP", parsed.localIP, error, "proxies.") ||
                !Take(*proxy, "localPort", parsed.localPort, error, "proxies.") ||
                !Take(*proxy, "remotePort", parsed.remotePort, error, "proxies."))
                return std::nullopt;
            if (parsed.name.empty()) {
                error = "proxy name cannot be empty";
                return std::nullopt;
            }
            config.proxies.push_back(parsed);
        }
    }
    return config;
}

} // namespace tunnel
