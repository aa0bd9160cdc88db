// tunnel-server [--address A] [--port P] [--token T]: the stand-in tunnel server on its own.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tunnel_server.h"

int main(int argc, char** argv)
{
    std::string address = "127.0.0.1";
    int port = 7000;
    std::string token;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--address" && i + 1 < argc) {
            address = argv[++i];
        } else if (arg == "--port" && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else if (arg == "--token" && i + 1 < argc) {
            token = argv[++i];
        } else {
            std::fprintf(stderr, "usage: tunnel-server [--address ADDR] [--port PORT] [--token TOKEN]\n");
            return 2;
        }
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    tunnel::TunnelServer server(address, port, token);
    std::string error;
    if (!server.Start(error)) {
        std::fprintf(stderr, "tunnel-server: %s\n", error.c_str());
        return 1;
    }
    std::printf("tunnel-server: listening on %s:%d\n", address.c_str(), server.Port());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
    return 0;
}
