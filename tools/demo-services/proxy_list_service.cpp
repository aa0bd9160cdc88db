// GET /proxy: the proxy list. Its two tunnel servers run in this process: "Demo Proxy Local"
// on 127.0.0.1 without a token and "Demo Proxy Token" on 127.0.0.2 with one. A port already
// taken (another copy of these services) gives way to a free one, which the list then names.
// Proxies given with --proxy run elsewhere and are listed instead, in their order.
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <span>
#include <vector>

#include "service.h"
#include "tunnel_server.h"

namespace demo {

namespace {

struct DemoProxy {
    const char* name;
    const char* address;
    int offset; // from the tunnel port base
    const char* token;
};

constexpr DemoProxy kProxies[] = {
    {"Demo Proxy Local", "127.0.0.1", 0, ""},
    {"Demo Proxy Token", "127.0.0.2", 1, kDemoProxyToken},
};

} // namespace

void RegisterProxyListRoutes(httplib::Server& server, const ServiceContext& context)
{
    // They live as long as the process does.
    static std::vector<std::unique_ptr<tunnel::TunnelServer>> tunnels;
    nlohmann::json list = nlohmann::json::array();
    for (const ListedProxy& proxy : context.proxies) {
        std::printf("demo-services: listing proxy \"%s\" at %s:%d\n", proxy.name.c_str(), proxy.address.c_str(), proxy.port);
        list.push_back({{"name", proxy.name}, {"address", proxy.address}, {"port", proxy.port}, {"authToken", proxy.token}});
    }
    for (const auto& proxy : context.proxies.empty() ? std::span<const DemoProxy>(kProxies) : std::span<const DemoProxy>()) {
        int wanted = context.tunnelPortBase == 0 ? 0 : context.tunnelPortBase + proxy.offset;
        auto tunnelServer = std::make_unique<tunnel::TunnelServer>(proxy.address, wanted, proxy.token);
        std::string error;
        if (!tunnelServer->Start(error)) {
            tunnelServer = std::make_unique<tunnel::TunnelServer>(proxy.address, 0, proxy.token);
            if (!tunnelServer->Start(error)) {
                std::fprintf(stderr, "demo-services: tunnel server %s: %s\n", proxy.name, error.c_str());
                continue;
            }
        }
        std::printf("demo-services: tunnel server \"%s\" on %s:%d\n", proxy.name, proxy.address, tunnelServer->Port());
        list.push_back({{"name", proxy.name}, {"address", proxy.address}, {"port", tunnelServer->Port()},
                        {"authToken", proxy.token}});
        tunnels.push_back(std::move(tunnelServer));
    }
    std::string body = nlohmann::json{{"servers", list}}.dump(2);
    server.Get("/proxy", [body](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "application/json");
    });
}

} // namespace demo
