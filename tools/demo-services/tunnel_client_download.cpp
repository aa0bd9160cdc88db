// GET /reverseproxy/frpc.exe: the stand-in tunnel client built for this machine, so the
// plugin's download flow installs a client that works with the demo proxies.
#include <httplib.h>

#include <fstream>
#include <iterator>

#include "service.h"

namespace demo {

void RegisterTunnelClientDownloadRoutes(httplib::Server& server, const ServiceContext& context)
{
    std::filesystem::path path = context.tunnelClientPath;
    server.Get("/reverseproxy/frpc.exe", [path](const httplib::Request&, httplib::Response& response) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            response.status = 404;
            response.set_content("no tunnel client at " + path.string(), "text/plain");
            return;
        }
        std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        response.set_content(std::move(bytes), "application/octet-stream");
    });
}

} // namespace demo
