// The demo services' server: options, the routes of every service, and a clean stop on
// SIGINT or SIGTERM.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "options.h"
#include "service.h"

namespace {

bool Held(const std::vector<std::string>& patterns, const std::string& path)
{
    for (const auto& pattern : patterns) {
        if (!pattern.empty() && pattern.back() == '*' ? path.rfind(pattern.substr(0, pattern.size() - 1), 0) == 0
                                                      : path == pattern)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    auto parsed = demo::ParseOptions(argc, argv);
    if (parsed.error) {
        std::fprintf(stderr, "demo-services: %s\n%s", parsed.error->c_str(), demo::UsageText().c_str());
        return 2;
    }
    const demo::Options& options = parsed.options;
    if (options.help) {
        std::fputs(demo::UsageText().c_str(), stdout);
        return 0;
    }

    std::error_code error;
    auto dataDir = std::filesystem::absolute(options.dataDir, error);
    if (!error) std::filesystem::create_directories(dataDir, error);
    if (error) {
        std::fprintf(stderr, "demo-services: cannot create %s: %s\n", options.dataDir.c_str(), error.message().c_str());
        return 1;
    }

    // Signals are taken by one thread with sigwait, so the stop runs outside a handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    httplib::Server server;
    // Only SO_REUSEADDR: the library's default SO_REUSEPORT would let a second copy share
    // the port silently instead of saying that it is taken.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port(options.address.c_str());
    } else if (!server.bind_to_port(options.address.c_str(), port)) {
        port = -1;
    }
    if (port <= 0) {
        std::fprintf(stderr, "demo-services: cannot listen on %s:%d (in use, or not an address of this machine)\n",
                     options.address.c_str(), options.port);
        return 1;
    }
    demo::ServiceContext context;
    context.dataDir = dataDir;
    context.baseUrl = "http://" + options.address + ":" + std::to_string(port);
    context.lobbies = options.lobbies;
    context.tunnelPortBase = options.tunnelPortBase;
    context.publicPortLow = options.publicPortLow;
    context.publicPortHigh = options.publicPortHigh;
    context.tunnelClientPath = options.tunnelClient.empty() ? std::filesystem::path(KESTREL_TUNNEL_CLIENT_PATH) : options.tunnelClient;
    context.proxies = options.proxies;
    context.downloadRateKiB = options.downloadRateKiB;
    context.downloadChunked = options.downloadChunked;
    demo::RegisterAllServices(server, context);
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (response.body.empty()) response.set_content("no such route", "text/plain");
    });

    std::atomic<bool> listenEnded{false};
    std::atomic<bool> stopping{false};
    if (!options.heldPaths.empty()) {
        // Held requests each keep a thread of the pool: enough of them that the rest still run.
        server.new_task_queue = [] { return new httplib::ThreadPool(64); };
        // In slices, so a stop does not wait for a held request to run out.
        server.set_pre_routing_handler([&options, &stopping](const httplib::Request& request, httplib::Response&) {
            if (!Held(options.heldPaths, request.path)) return httplib::Server::HandlerResponse::Unhandled;
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.holdMs);
            while (!stopping && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return httplib::Server::HandlerResponse::Unhandled;
        });
    }
    std::thread signalWaiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        stopping = true;
        // A stop before the server runs is ignored by it: ask until it has ended.
        while (!listenEnded) {
            server.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    std::printf("demo-services: listening on %s (data %s)\n", context.baseUrl.c_str(), dataDir.c_str());
    std::fflush(stdout);
    bool clean = server.listen_after_bind();
    listenEnded = true;
    // Wakes the waiter when the server ended by itself.
    pthread_kill(signalWaiter.native_handle(), SIGTERM);
    signalWaiter.join();
    std::printf("demo-services: stopped\n");
    return clean ? 0 : 1;
}
