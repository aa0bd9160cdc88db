#pragma once
// What the hostile services answer: each endpoint the plugin calls gets, request after request,
// one kind of bad reply after the other.
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace hostile {

enum class Endpoint {
    LobbyList,      // /rllobby/lobby (GET)
    LobbyOther,     // any other /rllobby request
    ServerList,     // /servers
    BotList,        // /api/botList2.json
    BotDetails,     // /api/bots/<name>/bot.toml
    ServerRequest,  // / with a query: a hosting location's server request
    ServerCommand,  // /servercommand
    ProxyList,      // /proxy
    PortService,    // /get-port
    Download,       // /reverseproxy/frpc.exe
    Unknown,
};

enum class Kind {
    Huge,       // a body of hugeBytes (100 MiB by default), length announced
    Drip,       // a short body, one byte every dripMs
    Reset,      // half the announced body, then a connection reset
    BadUtf8,    // the endpoint's own shape with bytes that are not UTF-8
    Nested,     // JSON nested far deeper than any reply is
    Injection,  // the endpoint's own shape with separators, quotes, line breaks and ../ in every field
    Misleading, // the endpoint's own shape, well formed, with what misleads a list: repeated ids,
                // empty and NUL-led names, line breaks, megabyte names, numbers out of range
};

inline constexpr Kind kAllKinds[] = {Kind::Huge,   Kind::Drip,      Kind::Reset,     Kind::BadUtf8,
                                     Kind::Nested, Kind::Injection, Kind::Misleading};

Endpoint EndpointOf(const std::string& method, const std::string& target);
const char* EndpointName(Endpoint endpoint);
const char* KindName(Kind kind);
std::optional<Kind> KindNamed(const std::string& name);

// The body (and status) of the kinds that are a complete reply: BadUtf8, Nested, Injection, Misleading.
// selfAddress is host:port of these services, for lists that point back at them.
struct ShapedReply {
    int status = 200;
    std::string body;
};
ShapedReply ShapedBody(Endpoint endpoint, Kind kind, const std::string& selfAddress);

// The next kind for an endpoint: the given one when fixed, otherwise every kind in turn.
class KindCycle {
public:
    explicit KindCycle(std::optional<Kind> fixed) : fixed(fixed) {}
    Kind Next(Endpoint endpoint);

private:
    std::optional<Kind> fixed;
    std::mutex mutex;
    std::map<Endpoint, std::size_t> served;
};

} // namespace hostile
