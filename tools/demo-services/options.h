#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace demo {

// A proxy that runs elsewhere (another machine or network namespace), listed as it is given.
struct ListedProxy {
    std::string name;
    std::string address;
    int port = 0;
    std::string token;
};

// Enough for load tests; the reply is then some 30 MB.
constexpr int kMaxLobbies = 100000;

struct Options {
    std::string address = "127.0.0.1";   // --address: where to listen; loopback by default
    int port = 47801;                     // --port: 0 picks a free port (printed at start)
    std::filesystem::path dataDir = "demo-services-data"; // --data-dir: the services' files
    int lobbies = -1;                     // --lobbies: that many generated lobbies; -1 the built-in handful
    int tunnelPortBase = 47811;           // --tunnel-ports: first demo tunnel server port, 0 any free ones
    int publicPortLow = 47900;            // --public-ports LOW-HIGH: what /get-port hands out
    int publicPortHigh = 47999;
    std::filesystem::path tunnelClient;   // --tunnel-client FILE: served as /reverseproxy/frpc.exe
    int downloadRateKiB = 0;              // --download-rate KIB: the client download's pace per second, 0 unthrottled
    bool downloadChunked = false;         // --download-chunked: send it without a length
    std::vector<ListedProxy> proxies;     // --proxy NAME=ADDRESS:PORT[:TOKEN], repeatable: listed instead of the demo ones
    std::vector<std::string> heldPaths;   // --hold PATH, repeatable: these requests wait holdMs before their answer
    int holdMs = 30000;                   // --hold-ms MS
    bool help = false;
};

struct ParseResult {
    Options options;
    std::optional<std::string> error;
};

ParseResult ParseOptions(int argc, char** argv);
std::string UsageText();

} // namespace demo
