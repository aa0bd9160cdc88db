#include "reverseproxy/frp_config.h"

#include <cstdio>
#include <string_view>

namespace frp_config {

std::string TomlString(const std::string& value)
{
    std::string out = "\"";
    for (char c : value) {
        auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\f': out += "\\f"; break;
        case '\r': out += "\\r"; break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

std::string ConfigText(const ProxyServer& server, std::int32_t localPort, std::int32_t remotePort)
{
    std::string text;
    text += "serverAddr = " + TomlString(server.address) + "\n";
    text += "serverPort = " + std::to_string(server.port) + "\n";
    if (!server.authToken.empty()) text += "auth.token = " + TomlString(server.authToken) + "\n";
    text += "\n";
    text += "[[proxies]]\n";
    text += "name = \"rocket-league-server\"\n";
    text += "type = \"udp\"\n";
    text += "localIP = \"127.0.0.1\"\n";
    text += "localPort = " + std::to_string(localPort) + "\n";
    text += "remotePort = " + std::to_string(remotePort) + "\n";
    text += "\n";
    return text;
}

std::int32_t ParsePortAnswer(const std::string& body)
{
    const auto skipBlanks = [&](std::size_t at) {
        while (at < body.size() && (body[at] == ' ' || body[at] == '\t' || body[at] == '\r' || body[at] == '\n')) ++at;
        return at;
    };
    const std::string key = "\"port\"";
    for (std::size_t found = body.find(key); found != std::string::npos; found = body.find(key, found + 1)) {
        std::size_t at = skipBlanks(found + key.size());
        if (at >= body.size() || body[at] != ':') continue; // the text "port" as a value, not the key
        // The first key decides: its value is the port or the answer has none.
        at = skipBlanks(at + 1);
        const bool quoted = at < body.size() && body[at] == '"';
        if (quoted) ++at;
        const std::size_t digits = at;
        std::int32_t value = 0;
        for (; at < body.size() && body[at] >= '0' && body[at] <= '9'; ++at) {
            value = value * 10 + (body[at] - '0');
            if (value > 65535) return 0; // also ends an endless digit run early
        }
        if (at == digits || value < 1) return 0;
        // A sign, a fraction, an exponent or more text in the quotes make it no port.
        if (quoted) return at < body.size() && body[at] == '"' ? value : 0;
        if (at < body.size() && std::string_view(" \t\r\n,}").find(body[at]) == std::string_view::npos) return 0;
        return value;
    }
    return 0;
}

} // namespace frp_config
