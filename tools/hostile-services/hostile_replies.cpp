#include "hostile_replies.h"

namespace hostile {

namespace {

// Each of these ends, extends or escapes something: a console command ('|', ';', a line break),
// a quoted value, a TOML line, a URL or a path.
const std::string kIpInjected = "127.0.0.1|quit";
const std::string kText = "x|quit;disconnect\n exit\r\"'`../../../../tmp/kestrel-escape";

std::string Nested()
{
    constexpr std::size_t depth = 200000;
    return std::string(depth, '[') + std::string(depth, ']');
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

std::string LobbyJson(const std::string& name, const std::string& ip, const std::string& map)
{
    return "{\"id\": " + JsonString(name) + ", \"name\": " + JsonString(name) + ", \"map\": " + JsonString(map) +
           ", \"description\": " + JsonString(kText) + ", \"playerCount\": 1, \"players\": [" + JsonString(kText) +
           "], \"hasPassword\": true, \"ipAddress\": " + JsonString(ip) + ", \"port\": 7777, \"secondsSinceUpdate\": 1}";
}

ShapedReply Injection(Endpoint endpoint, const std::string& self)
{
    const std::string selfPort = self.substr(self.find(':') + 1);
    switch (endpoint) {
    case Endpoint::LobbyList:
        return {200, "{\"lobbies\": [" + LobbyJson("Inject|quit", kIpInjected, "Park_P|quit") + ", " +
                         LobbyJson("Semi;colon", "127.0.0.1;disconnect", "Park_P;exit") + ", " +
                         LobbyJson("Line\nbreak", "127.0.0.1\nquit", "../../Park_P") + ", " +
                         LobbyJson("Quote\"d", "\"127.0.0.1\"", "Park_P\"") + "]}"};
    case Endpoint::LobbyOther: return {400, kText};
    case Endpoint::ServerList:
        // The first entry leads back here, so a server request reaches the hostile answers too.
        return {200, "[{\"ip\": \"127.0.0.1\", \"port\": " + JsonString(selfPort) +
                         ", \"location\": \"Hostile\", \"domain\": \"h\"},"
                         " {\"ip\": " + JsonString(kIpInjected) + ", \"port\": " + JsonString(selfPort) +
                         ", \"location\": " + JsonString(kText) + ", \"domain\": \"../d\"},"
                         " {\"ip\": \"127.0.0.1\", \"port\": " + JsonString(selfPort + "/../x?y=1#") +
                         ", \"location\": \"Port;path\", \"domain\": \"p\"}]"};
    case Endpoint::BotList:
        return {200, "[\"../../../../tmp/kestrel-escape\", \"a|quit\", \"b;exit\", \"q\\\"uote\", \"line\\nbreak\","
                     " {\"name\": \"../up (beta)\", \"versions\": [\"../v\", \"v|quit\"]}, \"Plain\"]"};
    case Endpoint::BotDetails:
        return {200, "description = x\"|quit\ntags = ../../t;exit\ndeveloper = \"\r\nfun_fact = a\x1b[31mred|quit\n"};
    case Endpoint::ServerRequest: return {200, "127.0.0.1;disconnect|quit:7777"};
    case Endpoint::ServerCommand: return {400, kText};
    case Endpoint::ProxyList:
        // The scanner keeps raw line breaks inside quotes: these try to add keys to the tunnel
        // configuration. (A ']' would end the scanner's array early, so none is used.)
        return {200, "{\"servers\": [\n"
                     "{\"name\": \"Inject|quit;x\", \"address\": \"127.0.0.1\nserverPort = 1\nevil = 1\", \"port\": 7000,"
                     " \"authToken\": \"t\nname = 'evil'\"},\n"
                     "{\"name\": \"../../up\", \"address\": \"127.0.0.1\\\", \"authToken\": \"a;b|c'd\\\"},\n"
                     "{\"name\": \"Port\", \"address\": \"127.0.0.1\", \"port\": 7000\n}\n]}"};
    case Endpoint::PortService: return {200, "{\"port\": \"47950\nserverAddr = \\\"evil\\\"\n[x]\"}"};
    case Endpoint::Download: return {200, "#!/bin/sh\necho hostile download\n"};
    case Endpoint::Unknown: break;
    }
    return {404, kText};
}

ShapedReply BadUtf8(Endpoint endpoint)
{
    switch (endpoint) {
    case Endpoint::LobbyList:
        return {200, "{\"lobbies\": [{\"id\": \"u\", \"name\": \"Bad \xff\xfe\", \"map\": \"\xc3(\", \"description\": \"\x80\","
                     " \"playerCount\": 0, \"players\": [], \"hasPassword\": false, \"ipAddress\": \"127.0.0.1\","
                     " \"port\": 7777, \"secondsSinceUpdate\": 1}]}"};
    case Endpoint::ServerList:
        return {200, "[{\"ip\": \"127.0.0.1\", \"port\": \"1\", \"location\": \"\xff\xfe\", \"domain\": \"d\"}]"};
    case Endpoint::BotList: return {200, "[\"\xc3(\", \"ok\", \"\xed\xa0\x80\"]"};
    case Endpoint::BotDetails: return {200, "description = \xff\xfe\x80\ntags = \xc3(\n"};
    case Endpoint::ServerRequest: return {200, "127.0.0.1\xff:7777"};
    case Endpoint::ProxyList:
        return {200, "{\"servers\": [{\"name\": \"Bad\xff\", \"address\": \"127.0.0.1\"},"
                     " {\"name\": \"Addr\", \"address\": \"127.0.0.\xc3\"}]}"};
    case Endpoint::PortService: return {200, "{\"port\": 47950, \"note\": \"\xff\xfe\"}"};
    default: return {200, "\xff\xfe\xc3(\x80\xed\xa0\x80"};
    }
}

} // namespace

Endpoint EndpointOf(const std::string& method, const std::string& target)
{
    const std::string path = target.substr(0, target.find('?'));
    if (path == "/rllobby/lobby" && method == "GET") return Endpoint::LobbyList;
    if (path.rfind("/rllobby", 0) == 0) return Endpoint::LobbyOther;
    if (path == "/servers") return Endpoint::ServerList;
    if (path == "/api/botList2.json") return Endpoint::BotList;
    if (path.rfind("/api/bots/", 0) == 0) return Endpoint::BotDetails;
    if (path == "/" && target.find('?') != std::string::npos) return Endpoint::ServerRequest;
    if (path == "/servercommand") return Endpoint::ServerCommand;
    if (path == "/proxy") return Endpoint::ProxyList;
    if (path == "/get-port") return Endpoint::PortService;
    if (path == "/reverseproxy/frpc.exe") return Endpoint::Download;
    return Endpoint::Unknown;
}

const char* EndpointName(Endpoint endpoint)
{
    switch (endpoint) {
    case Endpoint::LobbyList: return "lobby-list";
    case Endpoint::LobbyOther: return "lobby";
    case Endpoint::ServerList: return "server-list";
    case Endpoint::BotList: return "bot-list";
    case Endpoint::BotDetails: return "bot-details";
    case Endpoint::ServerRequest: return "server-request";
    case Endpoint::ServerCommand: return "server-command";
    case Endpoint::ProxyList: return "proxy-list";
    case Endpoint::PortService: return "port";
    case Endpoint::Download: return "download";
    case Endpoint::Unknown: break;
    }
    return "unknown";
}

const char* KindName(Kind kind)
{
    switch (kind) {
    case Kind::Huge: return "huge";
    case Kind::Drip: return "drip";
    case Kind::Reset: return "reset";
    case Kind::BadUtf8: return "bad-utf8";
    case Kind::Nested: return "nested";
    case Kind::Injection: return "injection";
    }
    return "?";
}

std::optional<Kind> KindNamed(const std::string& name)
{
    for (Kind kind : kAllKinds)
        if (name == KindName(kind)) return kind;
    return std::nullopt;
}

ShapedReply ShapedBody(Endpoint endpoint, Kind kind, const std::string& selfAddress)
{
    if (kind == Kind::Nested) return {200, Nested()};
    if (kind == Kind::BadUtf8) return BadUtf8(endpoint);
    return Injection(endpoint, selfAddress);
}

Kind KindCycle::Next(Endpoint endpoint)
{
    if (fixed) return *fixed;
    std::lock_guard<std::mutex> lock(mutex);
    const std::size_t turn = served[endpoint]++;
    return kAllKinds[turn % std::size(kAllKinds)];
}

} // namespace hostile
