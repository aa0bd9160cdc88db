// GET /health: tells a starting script (and a test) that the server is up.
#include <httplib.h>

#include "service.h"

namespace demo {

void RegisterHealthRoutes(httplib::Server& server, const ServiceContext&)
{
    server.Get("/health", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("ok", "text/plain");
    });
}

} // namespace demo
