#include "options.h"

#include <arpa/inet.h>

#include <cstdio>
#include <vector>

#include "console/words.h"

#ifndef KESTREL_DEVHOST_DEFAULT_PLUGIN
#define KESTREL_DEVHOST_DEFAULT_PLUGIN "matchbay.so"
#endif
#ifndef KESTREL_DEVHOST_DEFAULT_DATA
#define KESTREL_DEVHOST_DEFAULT_DATA "devhost-data"
#endif

namespace devhost {

std::string UsageText()
{
    return "usage: devhost [options] [plugin.so]\n"
           "\n"
           "Runs a plugin library the way the game's mod host does, on Linux.\n"
           "\n"
           "options:\n"
           "  --headless                  no window: frames run without a renderer\n"
           "  --script FILE               read console commands from FILE (then quit) instead of stdin\n"
           "  --data-dir DIR              folder tree for the game, application data and temp files\n"
           "                              (default " KESTREL_DEVHOST_DEFAULT_DATA ")\n"
           "  --config FILE               console variable file (default\n"
           "                              DIR/appdata/bakkesmod/bakkesmod/cfg/config.cfg)\n"
           "  --listen-port PORT          UDP port of the simulated listen server (default 7777)\n"
           "  --listen-address ADDR       IPv4 address it binds (default 127.0.0.1; 0.0.0.0 for all)\n"
           "  --player-name NAME          the name the simulated game joins LAN matches with (default Player)\n"
           "  --allow-join CIDR           an IPv4 network (/8 to /32) besides loopback whose LAN matches it may\n"
           "                              join; repeatable (a test's own network namespaces only)\n"
           "  --upnp-interface IF         where the plugin looks for a UPnP router: an interface name or one of\n"
           "                              its IPv4 addresses (default 127.0.0.1, where none answers)\n"
           "  --upnp                      look for a UPnP router on the system's default interface, as for players\n"
           "  --http-connect-timeout MS   HTTP connect time-out (default 5000)\n"
           "  --http-timeout MS           HTTP total time-out per request (default 15000)\n"
           "  --http-max-reply BYTES      longest HTTP reply body; a longer one fails (default 16777216)\n"
           "  --size WxH                  window size (default 1280x720)\n"
           "  --no-plugin                 start without loading a plugin\n"
           "  -h, --help                  show this text\n"
           "\n"
           "The plugin defaults to " KESTREL_DEVHOST_DEFAULT_PLUGIN ".\n"
           "Type 'help' at the console for its commands.\n";
}

ParseResult ParseOptions(int argc, char** argv)
{
    ParseResult result;
    Options& options = result.options;
    options.pluginPath = KESTREL_DEVHOST_DEFAULT_PLUGIN;
    options.dataDir = KESTREL_DEVHOST_DEFAULT_DATA;
    std::vector<std::string> args(argv + 1, argv + argc);
    bool pluginGiven = false;

    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        auto milliseconds = [&](long& out) -> bool {
            auto text = value();
            auto number = text ? ParseInteger(*text, 1, 3600000) : std::nullopt;
            if (!number) return false;
            out = static_cast<long>(*number);
            return true;
        };
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--no-plugin") {
            options.loadPlugin = false;
        } else if (arg == "--script") {
            auto file = value();
            if (!file) return fail("--script needs a file name");
            options.script = *file;
        } else if (arg == "--data-dir") {
            auto dir = value();
            if (!dir || dir->empty()) return fail("--data-dir needs a folder");
            options.dataDir = *dir;
        } else if (arg == "--config") {
            auto file = value();
            if (!file || file->empty()) return fail("--config needs a file name");
            options.configFile = *file;
        } else if (arg == "--listen-port") {
            auto text = value();
            auto port = text ? ParseInteger(*text, 1, 65535) : std::nullopt;
            if (!port) return fail("--listen-port needs a port number from 1 to 65535");
            options.listenPort = static_cast<int>(*port);
        } else if (arg == "--listen-address") {
            auto text = value();
            in_addr parsed{};
            if (!text || inet_pton(AF_INET, text->c_str(), &parsed) != 1)
                return fail("--listen-address needs an IPv4 address such as 0.0.0.0");
            options.listenAddress = *text;
        } else if (arg == "--player-name") {
            auto name = value();
            if (!name || name->empty() || name->size() > 32 || name->find_first_of("\n\r") != std::string::npos)
                return fail("--player-name needs a name of 1 to 32 characters on one line");
            options.playerName = *name;
        } else if (arg == "--allow-join") {
            auto text = value();
            auto network = text ? ParseIpv4Network(*text) : std::nullopt;
            if (!network) return fail("--allow-join needs an IPv4 network such as 198.51.100.0/24 (prefix 8 to 32)");
            options.allowJoin.push_back(*network);
        } else if (arg == "--upnp-interface") {
            auto text = value();
            if (!text || text->empty() || text->size() > 64 ||
                text->find_first_of(" \t\n\r") != std::string::npos)
                return fail("--upnp-interface needs an interface name or IPv4 address such as eth0 or 192.168.1.10");
            options.upnpInterface = *text;
        } else if (arg == "--upnp") {
            options.upnpInterface.clear();
        } else if (arg == "--http-connect-timeout") {
            if (!milliseconds(options.connectTimeoutMs))
                return fail("--http-connect-timeout needs milliseconds from 1 to 3600000");
        } else if (arg == "--http-timeout") {
            if (!milliseconds(options.totalTimeoutMs)) return fail("--http-timeout needs milliseconds from 1 to 3600000");
        } else if (arg == "--http-max-reply") {
            auto text = value();
            auto bytes = text ? ParseInteger(*text, 1, 1LL << 32) : std::nullopt;
            if (!bytes) return fail("--http-max-reply needs a byte count from 1 to 4294967296");
            options.maxReplyBytes = *bytes;
        } else if (arg == "--size") {
            auto text = value();
            auto x = text ? text->find('x') : std::string::npos;
            auto w = x != std::string::npos ? ParseInteger(text->substr(0, x), 200, 8192) : std::nullopt;
            auto h = x != std::string::npos ? ParseInteger(text->substr(x + 1), 200, 8192) : std::nullopt;
            if (!w || !h) return fail("--size needs WIDTHxHEIGHT, each from 200 to 8192");
            options.width = static_cast<int>(*w);
            options.height = static_cast<int>(*h);
        } else if (!arg.empty() && arg[0] == '-') {
            return fail("unknown option " + arg);
        } else if (pluginGiven) {
            return fail("only one plugin library can be given (" + arg + ")");
        } else {
            options.pluginPath = arg;
            pluginGiven = true;
        }
    }
    return result;
}

} // namespace devhost
