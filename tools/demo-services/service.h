#pragma once
// What every demo service gets when it registers its routes.
#include <filesystem>
#include <string>

namespace httplib {
class Server;
}

namespace demo {

struct ServiceContext {
    std::filesystem::path dataDir; // files the services serve or keep (created at start)
    std::string baseUrl;           // http://address:port of this server, for links in replies
    int lobbies = -1;              // --lobbies: generated lobby count, -1 for the built-in ones
};

using RegisterRoutesFn = void (*)(httplib::Server& server, const ServiceContext& context);

// One line per service; a new service adds its function to the list in service_registry.cpp.
void RegisterAllServices(httplib::Server& server, const ServiceContext& context);

void RegisterHealthRoutes(httplib::Server& server, const ServiceContext& context);
void RegisterLobbyRoutes(httplib::Server& server, const ServiceContext& context);
void RegisterHostingRoutes(httplib::Server& server, const ServiceContext& context);

} // namespace demo
