#include <httplib.h>

#include "service.h"

namespace demo {

void RegisterAllServices(httplib::Server& server, const ServiceContext& context)
{
    static const RegisterRoutesFn services[] = {
        &RegisterHealthRoutes,
        &RegisterLobbyRoutes,
        &RegisterProxyListRoutes,
        &RegisterPortRoutes,
        &RegisterTunnelClientDownloadRoutes,
        &RegisterHostingRoutes,
    };
    for (auto registerRoutes : services) registerRoutes(server, context);
}

} // namespace demo
