#include <httplib.h>

#include "service.h"

namespace demo {

void RegisterAllServices(httplib::Server& server, const ServiceContext& context)
{
    static const RegisterRoutesFn services[] = {
        &RegisterHealthRoutes,
        &RegisterLobbyRoutes,
        &RegisterHostingRoutes,
    };
    for (auto registerRoutes : services) registerRoutes(server, context);
}

} // namespace demo
