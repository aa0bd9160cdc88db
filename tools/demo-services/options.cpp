#include "options.h"

#include <charconv>
#include <optional>
#include <vector>

namespace demo {

namespace {

// A whole decimal number within [min, max]; nullopt otherwise.
std::optional<int> ParseNumber(const std::string& text, int min, int max)
{
    int value = -1;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

// NAME=ADDRESS:PORT[:TOKEN]; the token is the rest of the text, so it may hold colons.
std::optional<ListedProxy> ParseListedProxy(const std::string& text)
{
    const auto equals = text.find('=');
    if (equals == std::string::npos || equals == 0) return std::nullopt;
    ListedProxy proxy;
    proxy.name = text.substr(0, equals);
    const std::string rest = text.substr(equals + 1);
    const auto colon = rest.find(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    proxy.address = rest.substr(0, colon);
    const auto tokenColon = rest.find(':', colon + 1);
    auto port = ParseNumber(rest.substr(colon + 1, tokenColon == std::string::npos ? std::string::npos : tokenColon - colon - 1), 1, 65535);
    if (!port) return std::nullopt;
    proxy.port = *port;
    if (tokenColon != std::string::npos) proxy.token = rest.substr(tokenColon + 1);
    return proxy;
}

} // namespace

std::string UsageText()
{
    return "usage: demo-services [--address ADDR] [--port PORT] [--data-dir DIR] [--lobbies N]\n"
           "\n"
           "Serves the plugin's remote services on one HTTP server.\n"
           "  --address ADDR   address to listen on (default 127.0.0.1)\n"
           "  --port PORT      port (default 47801; 0 picks a free one and prints it)\n"
           "  --data-dir DIR   folder for the services' files (default ./demo-services-data)\n"
           "  --lobbies N      list N generated lobbies (0 to 100000, the same on every run) instead of\n"
           "                   the built-in handful, one of them on 127.0.0.1:7777\n"
           "  --tunnel-ports P the demo tunnel servers listen on P (127.0.0.1) and P+1 (127.0.0.2)\n"
           "                   (default 47811; 0 picks free ones; a taken port gives way to a free one)\n"
           "  --public-ports LOW-HIGH  the public tunnel ports /get-port hands out (default 47900-47999)\n"
           "  --tunnel-client FILE     the tunnel client /reverseproxy/frpc.exe serves (default: the built one)\n"
           "  --download-rate KIB      send the tunnel client at KIB KiB per second (default 0: at once),\n"
           "                   so the plugin's download progress can be watched\n"
           "  --download-chunked       send the tunnel client without a Content-Length\n"
           "  --proxy NAME=ADDRESS:PORT[:TOKEN]  list this proxy at /proxy (repeatable, in order) instead\n"
           "                   of running the demo tunnel servers\n"
           "  --hold PATH      answer requests for PATH (a trailing * matches any rest) only after\n"
           "                   --hold-ms (repeatable), so a request can be caught in flight\n"
           "  --hold-ms MS     how long a held request waits (default 30000)\n"
           "  -h, --help       show this text\n";
}

ParseResult ParseOptions(int argc, char** argv)
{
    ParseResult result;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "-h" || arg == "--help") {
            result.options.help = true;
        } else if (arg == "--address" && hasValue && !args[i + 1].empty()) {
            result.options.address = args[++i];
        } else if (arg == "--port" && hasValue) {
            const std::string& text = args[++i];
            auto port = ParseNumber(text, 0, 65535);
            if (!port) {
                result.error = "--port needs a number from 0 to 65535, not '" + text + "'";
                return result;
            }
            result.options.port = *port;
        } else if (arg == "--lobbies" && hasValue) {
            const std::string& text = args[++i];
            auto count = ParseNumber(text, 0, kMaxLobbies);
            if (!count) {
                result.error = "--lobbies needs a number from 0 to " + std::to_string(kMaxLobbies) + ", not '" + text + "'";
                return result;
            }
            result.options.lobbies = *count;
        } else if (arg == "--tunnel-ports" && hasValue) {
            const std::string& text = args[++i];
            auto port = ParseNumber(text, 0, 65534);
            if (!port) {
                result.error = "--tunnel-ports needs a number from 0 to 65534, not '" + text + "'";
                return result;
            }
            result.options.tunnelPortBase = *port;
        } else if (arg == "--public-ports" && hasValue) {
            const std::string& text = args[++i];
            auto dash = text.find('-');
            auto low = dash == std::string::npos ? std::nullopt : ParseNumber(text.substr(0, dash), 1, 65535);
            auto high = dash == std::string::npos ? std::nullopt : ParseNumber(text.substr(dash + 1), 1, 65535);
            if (!low || !high || *low > *high) {
                result.error = "--public-ports needs LOW-HIGH within 1-65535, not '" + text + "'";
                return result;
            }
            result.options.publicPortLow = *low;
            result.options.publicPortHigh = *high;
        } else if (arg == "--tunnel-client" && hasValue && !args[i + 1].empty()) {
            result.options.tunnelClient = args[++i];
        } else if (arg == "--download-rate" && hasValue) {
            const std::string& text = args[++i];
            auto rate = ParseNumber(text, 0, 1 << 20);
            if (!rate) {
                result.error = "--download-rate needs KiB per second from 0 to 1048576, not '" + text + "'";
                return result;
            }
            result.options.downloadRateKiB = *rate;
        } else if (arg == "--download-chunked") {
            result.options.downloadChunked = true;
        } else if (arg == "--proxy" && hasValue) {
            const std::string& text = args[++i];
            auto proxy = ParseListedProxy(text);
            if (!proxy) {
                result.error = "--proxy needs NAME=ADDRESS:PORT[:TOKEN] with a port from 1 to 65535, not '" + text + "'";
                return result;
            }
            result.options.proxies.push_back(*proxy);
        } else if (arg == "--hold" && hasValue && !args[i + 1].empty() && args[i + 1][0] == '/') {
            result.options.heldPaths.push_back(args[++i]);
        } else if (arg == "--hold-ms" && hasValue) {
            const std::string& text = args[++i];
            auto ms = ParseNumber(text, 0, 3600000);
            if (!ms) {
                result.error = "--hold-ms needs milliseconds from 0 to 3600000, not '" + text + "'";
                return result;
            }
            result.options.holdMs = *ms;
        } else if (arg == "--data-dir" && hasValue && !args[i + 1].empty()) {
            result.options.dataDir = args[++i];
        } else if (arg == "--address" || arg == "--port" || arg == "--data-dir" || arg == "--lobbies" ||
                   arg == "--tunnel-ports" || arg == "--public-ports" || arg == "--tunnel-client" || arg == "--proxy" || arg == "--download-rate" ||
                   arg == "--hold" || arg == "--hold-ms") {
            result.error = arg + " needs a value";
            return result;
        } else {
            result.error = "unknown argument " + arg;
            return result;
        }
    }
    return result;
}

} // namespace demo
