// Hostile stand-ins for every remote service the plugin calls, on loopback: each endpoint
// answers request after request with a huge body, a drip, a reset, bytes that are not UTF-8,
// deeply nested JSON, injection attempts and well-formed lists that mislead (repeated ids, empty
// and megabyte names, numbers out of range), in turn (or always one kind, with --kind).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "hostile_replies.h"
#include "reply_writer.h"

namespace {

const char* kUsage =
    "usage: hostile-services [--address ADDR] [--port PORT] [--kind KIND] [--huge-bytes N] [--drip-ms MS]\n"
    "                        [--drip-bytes N]\n"
    "\n"
    "Answers every endpoint the plugin calls (the demo services' paths) with hostile replies.\n"
    "  --address ADDR   loopback address to listen on (default 127.0.0.1)\n"
    "  --port PORT      port (default 47801, the plugin's built-in service port; 0 picks a free one)\n"
    "  --kind KIND      always this kind: huge, drip, reset, bad-utf8, nested, injection or\n"
    "                   misleading\n"
    "                   (default: each endpoint gives them in that order, then again)\n"
    "  --huge-bytes N   length of a huge body (default 104857600)\n"
    "  --drip-ms MS     pause before each dripped byte (default 1000)\n"
    "  --drip-bytes N   length of a dripped body (default 30)\n";

std::optional<long long> Number(const std::string& text, long long min, long long max)
{
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "hostile-services: %s\n%s", message.c_str(), kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string address = "127.0.0.1";
    int port = 47801;
    std::optional<hostile::Kind> kind;
    hostile::WriterSettings settings;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= args.size()) return Fail(arg + " needs a value");
        const std::string& value = args[++i];
        if (arg == "--address") {
            in_addr parsed{};
            // Hostile answers are for tests on this machine only.
            if (inet_pton(AF_INET, value.c_str(), &parsed) != 1 || (ntohl(parsed.s_addr) >> 24) != 127)
                return Fail("--address needs an address in 127.0.0.0/8, not '" + value + "'");
            address = value;
        } else if (arg == "--port") {
            auto number = Number(value, 0, 65535);
            if (!number) return Fail("--port needs a number from 0 to 65535");
            port = static_cast<int>(*number);
        } else if (arg == "--kind") {
            kind = hostile::KindNamed(value);
            if (!kind) return Fail("unknown kind '" + value + "'");
        } else if (arg == "--huge-bytes") {
            auto number = Number(value, 1, 1LL << 36);
            if (!number) return Fail("--huge-bytes needs a byte count from 1");
            settings.hugeBytes = static_cast<std::size_t>(*number);
        } else if (arg == "--drip-ms") {
            auto number = Number(value, 0, 60000);
            if (!number) return Fail("--drip-ms needs milliseconds from 0 to 60000");
            settings.dripMs = static_cast<int>(*number);
        } else if (arg == "--drip-bytes") {
            auto number = Number(value, 1, 1 << 20);
            if (!number) return Fail("--drip-bytes needs a byte count from 1");
            settings.dripBytes = static_cast<std::size_t>(*number);
        } else {
            return Fail("unknown option " + arg);
        }
    }

    int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &bound.sin_addr);
    socklen_t length = sizeof bound;
    if (sock < 0 || bind(sock, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 || listen(sock, 64) != 0 ||
        getsockname(sock, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        std::fprintf(stderr, "hostile-services: cannot listen on %s:%d\n", address.c_str(), port);
        return 1;
    }
    settings.selfAddress = address + ":" + std::to_string(ntohs(bound.sin_port));
    std::printf("hostile-services: listening on http://%s\n", settings.selfAddress.c_str());
    std::fflush(stdout);

    hostile::KindCycle kinds(kind);
    std::mutex printing;
    // Ends with the process (SIGTERM or SIGINT); every connection has a thread of its own so a
    // drip holds up nobody else.
    for (;;) {
        int client = accept4(sock, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::thread([client, &kinds, &settings, &printing] {
            const std::string note = hostile::ServeConnection(client, kinds, settings);
            std::lock_guard<std::mutex> lock(printing);
            std::printf("hostile-services: %s\n", note.c_str());
            std::fflush(stdout);
        }).detach();
    }
}
