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
    // The port itself can only be digits; the rest of the answer still tries to reach the file.
    case Endpoint::PortService: return {200, "{\"port\": 47950, \"note\": \"\nserverAddr = \\\"evil\\\"\n[x]\"}"};
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

std::string MisleadingLobby(const std::string& id, const std::string& name, const std::string& ip, const std::string& port,
                            const std::string& counts = "\"playerCount\": 2, \"secondsSinceUpdate\": 4")
{
    return "{\"id\": " + JsonString(id) + ", \"name\": " + name + ", \"map\": \"Park_P\", \"description\": \"\", " + counts +
           ", \"players\": [], \"hasPassword\": false, \"ipAddress\": " + JsonString(ip) + ", \"port\": " + port + "}";
}

const std::string kMegabyte(1 << 20, 'N');

// Lists that parse, and whose content still tried to mislead the windows that show them: the same
// id twice (the attacker's listing first), names that are empty, start with NUL or break lines,
// a megabyte name, ports and counts no lobby has, and numbers taken from the wrong key.
ShapedReply Misleading(Endpoint endpoint, const std::string& self)
{
    const std::string selfPort = self.substr(self.find(':') + 1);
    switch (endpoint) {
    case Endpoint::LobbyList:
        return {200, "{\"lobbies\": [" + MisleadingLobby("twin", "\"Real Lobby\"", "10.6.6.6", "6666") + ", " +
                         MisleadingLobby("twin", "\"Real Lobby\"", "127.0.0.1", "7790") + ", " +
                         MisleadingLobby("", "\"\"", "127.0.0.1", "7777") + ", " +
                         MisleadingLobby("nul", "\"\\u0000Hidden\"", "127.0.0.1", "7777") + ", " +
                         MisleadingLobby("lines", "\"Chill Free Play\\nFriday Night Scrims\\nRumble Night\"", "127.0.0.1", "7777") +
                         ", " + MisleadingLobby("long", JsonString(kMegabyte), "127.0.0.1", "7777") + ", " +
                         MisleadingLobby("p1", "\"Port -1\"", "127.0.0.1", "-1") + ", " +
                         MisleadingLobby("p2", "\"Port 0\"", "127.0.0.1", "0") + ", " +
                         MisleadingLobby("p3", "\"Port 65536\"", "127.0.0.1", "65536") + ", " +
                         MisleadingLobby("p4", "\"Port 73313\"", "127.0.0.1", "73313") + ", " +
                         MisleadingLobby("p5", "\"Port true\"", "127.0.0.1", "true") + ", " +
                         MisleadingLobby("p6", "\"Port 1e30\"", "127.0.0.1", "1e30") + ", " +
                         MisleadingLobby("p7", "\"Port 4.79e4\"", "127.0.0.1", "4.79e4") + ", " +
                         MisleadingLobby("n", "\"Negative counts\"", "127.0.0.1", "7777",
                                         "\"playerCount\": -5, \"secondsSinceUpdate\": -60") +
                         ", {\"id\": 5}]}"};
    case Endpoint::LobbyOther: return {400, "no\nsuch\tlobby " + kMegabyte};
    case Endpoint::ServerList:
        // The first entry leads back here, so a server request reaches these answers too.
        return {200, "[{\"ip\": \"127.0.0.1\", \"port\": " + JsonString(selfPort) + ", \"location\": \"\", \"domain\": \"\"},"
                     " {\"ip\": \"127.0.0.1\", \"port\": " + JsonString(selfPort) + ", \"location\": \"\\u0000West\", \"domain\": \"\"},"
                     " {\"ip\": \"127.0.0.1\", \"port\": " + JsonString(selfPort) + ", \"location\": \"Two\\nLines\", \"domain\": \"\"},"
                     " {\"ip\": \"127.0.0.1\", \"port\": " + JsonString(selfPort) + ", \"location\": " + JsonString(kMegabyte) +
                     ", \"domain\": \"\"}]"};
    case Endpoint::BotList:
        // "Plain" is the seventh entry in this list as in the injection one, so one flow picks it in both.
        return {200, "[\"\", \"\\u0000Nul\", \"Two\\nLines\", \"Atlas\", \"Atlas\", {\"name\": \"\", \"versions\": [\"\", \"\"]},"
                     " \"Plain\", " + JsonString(kMegabyte) + "]"};
    case Endpoint::BotDetails:
        return {200, "developer = \"Ann, who wrote the description parser\"\ngithub = \"https://example.org/fun_fact-bot\"\n"
                     "description = " + kMegabyte + "\n"};
    case Endpoint::ServerRequest: return {200, kMegabyte + ":7777"};
    case Endpoint::ServerCommand: return {400, "no\nsuch\tserver " + kMegabyte};
    case Endpoint::ProxyList:
        return {200, "{\"servers\": [{\"name\": \"Two\nLines\tTab\", \"address\": \"127.0.0.1\"},"
                     " {\"name\": \"" + kMegabyte + "\", \"address\": \"127.0.0.1\", \"port\": 7000},"
                     " {\"name\": \"Far\", \"address\": \"" + std::string(300, 'a') + "\"}]}"};
    case Endpoint::PortService: return {200, "{\"port\": null, \"reserved\": 47903}"};
    case Endpoint::Download: return {200, "#!/bin/sh\necho misleading download\n"};
    case Endpoint::Unknown: break;
    }
    return {404, "no\nsuch\tpath"};
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
    case Kind::Misleading: return "misleading";
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
    if (kind == Kind::Misleading) return Misleading(endpoint, selfAddress);
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
