#include "reverseproxy/frp_config.h"

#include <cstdio>

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
    if (body.size() < 6) return 0;
    auto key = body.find("\"port\"");
    if (key == std::string::npos) return 0;
    auto colon = body.find(':', key);
    if (colon == std::string::npos) return 0;
    auto digit = body.find_first_of("0123456789", colon);
    if (digit == std::string::npos) return 0;
    std::int64_t value = 0;
    for (auto i = digit; i < body.size() && body[i] >= '0' && body[i] <= '9'; ++i) {
        value = value * 10 + (body[i] - '0');
        if (value > 65535) return 0; // also ends an endless digit run early
    }
    return static_cast<std::int32_t>(value);
}

} // namespace frp_config
