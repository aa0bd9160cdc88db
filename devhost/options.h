#pragma once
// The command line of the development host.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/allowed_networks.h"

namespace devhost {

struct Options {
    std::filesystem::path pluginPath;        // the plugin library; the built matchbay.so by default
    bool loadPlugin = true;                  // --no-plugin: start with no plugin loaded
    bool headless = false;                   // --headless: frames without a window or renderer
    std::optional<std::filesystem::path> script; // --script FILE: commands from a file instead of stdin
    std::filesystem::path dataDir;           // --data-dir: root of the Windows-like folder tree
    std::optional<std::filesystem::path> configFile; // --config: cvar file; inside the tree by default
    int listenPort = 7777;                   // --listen-port: UDP port of the simulated listen server
    std::string listenAddress = "127.0.0.1"; // --listen-address: where it binds (0.0.0.0: every address, as the game does)
    std::string playerName = "Player";       // --player-name: who the simulated game joins LAN matches as
    std::vector<Ipv4Network> allowJoin;      // --allow-join CIDR (repeatable): networks besides loopback it may join
    // --upnp-interface IF / --upnp: where the plugin looks for a UPnP router. Loopback by default,
    // where no router answers, so runs do not depend on the machine's network; empty: the
    // system's default interface, as for players.
    std::string upnpInterface = "127.0.0.1";
    long connectTimeoutMs = 5000;            // --http-connect-timeout MS
    long totalTimeoutMs = 15000;             // --http-timeout MS: whole transfer, connect included
    long long maxReplyBytes = 16LL << 20;    // --http-max-reply BYTES: longer replies fail
    int width = 1280;                        // --size WxH: window size and headless display size
    int height = 720;
    bool help = false;
};

struct ParseResult {
    Options options;
    std::optional<std::string> error;
};

ParseResult ParseOptions(int argc, char** argv);
std::string UsageText();

} // namespace devhost
