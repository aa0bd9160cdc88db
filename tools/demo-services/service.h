#pragma once
// What every demo service gets when it registers its routes.
#include <filesystem>
#include <string>
#include <vector>

#include "options.h"

namespace httplib {
class Server;
}

namespace demo {

struct ServiceContext {
    std::filesystem::path dataDir; // files the services serve or keep (created at start)
    std::string baseUrl;           // http://address:port of this server, for links in replies
    int lobbies = -1;              // --lobbies: generated lobby count, -1 for the built-in ones
    int tunnelPortBase = 47811;    // --tunnel-ports: the demo tunnel servers' ports from here, 0 any free ones
    int publicPortLow = 47900;     // --public-ports: the range /get-port hands out
    int publicPortHigh = 47999;
    std::filesystem::path tunnelClientPath; // --tunnel-client: the file /reverseproxy/frpc.exe serves
    int downloadRateKiB = 0;                 // --download-rate: KiB per second for the client download, 0 at once
    bool downloadChunked = false;            // --download-chunked: the download has no Content-Length
    std::vector<ListedProxy> proxies;        // --proxy: listed at /proxy instead of the demo tunnel servers
};

// The token of the demo proxy on 127.0.0.2.
constexpr const char* kDemoProxyToken = "kestrel-demo-token";

using RegisterRoutesFn = void (*)(httplib::Server& server, const ServiceContext& context);

// One line per service; a new service adds its function to the list in service_registry.cpp.
void RegisterAllServices(httplib::Server& server, const ServiceContext& context);

void RegisterHealthRoutes(httplib::Server& server, const ServiceContext& context);
void RegisterLobbyRoutes(httplib::Server& server, const ServiceContext& context);
void RegisterProxyListRoutes(httplib::Server& server, const ServiceContext& context);
void RegisterPortRoutes(httplib::Server& server, const ServiceContext& context);
void RegisterTunnelClientDownloadRoutes(httplib::Server& server, const ServiceContext& context);
void RegisterHostingRoutes(httplib::Server& server, const ServiceContext& context);

} // namespace demo
