// GET /get-port: hands out public ports for tunnels, in turn from a range, skipping ports a
// demo proxy address cannot bind (taken by a running tunnel or anything else).
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

#include "service.h"

namespace demo {

namespace {

bool UdpPortFree(const char* address, int port)
{
    int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address, &bound.sin_addr);
    bool free = bind(sock, reinterpret_cast<sockaddr*>(&bound), sizeof bound) == 0;
    close(sock);
    return free;
}

} // namespace

void RegisterPortRoutes(httplib::Server& server, const ServiceContext& context)
{
    int low = context.publicPortLow;
    int high = context.publicPortHigh;
    server.Get("/get-port", [low, high](const httplib::Request&, httplib::Response& response) {
        static std::mutex mutex;
        static int next = 0;
        std::lock_guard lock(mutex);
        int count = high - low + 1;
        for (int tried = 0; tried < count; ++tried) {
            int port = low + (next++ % count);
            if (UdpPortFree("127.0.0.1", port) && UdpPortFree("127.0.0.2", port)) {
                response.set_content("{\"port\": " + std::to_string(port) + "}", "application/json");
                return;
            }
        }
        response.status = 503;
        response.set_content("{\"status\": \"full\"}", "application/json");
    });
}

} // namespace demo
