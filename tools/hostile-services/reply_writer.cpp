#include "reply_writer.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace hostile {

namespace {

bool SendAll(int client, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = send(client, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool SendAll(int client, const std::string& text) { return SendAll(client, text.data(), text.size()); }

std::string Head(int status, std::size_t length, const std::string& extra = {})
{
    return "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Hostile") +
           "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(length) +
           "\r\nConnection: close\r\n" + extra + "\r\n";
}

// The request head, and as much of a body as its Content-Length announces (up to 1 MiB).
bool ReadRequest(int client, std::string& method, std::string& target)
{
    timeval timeout{5, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string data;
    char buffer[4096];
    std::size_t headEnd = std::string::npos;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos && data.size() < 65536) {
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        data.append(buffer, static_cast<std::size_t>(got));
    }
    if (headEnd == std::string::npos) return false;
    const std::string line = data.substr(0, data.find("\r\n"));
    const std::size_t first = line.find(' ');
    const std::size_t last = line.rfind(' ');
    if (first == std::string::npos || last <= first) return false;
    method = line.substr(0, first);
    target = line.substr(first + 1, last - first - 1);
    std::size_t length = 0;
    const std::string head = data.substr(0, headEnd);
    for (const char* name : {"Content-Length:", "content-length:"}) {
        const std::size_t at = head.find(name);
        if (at != std::string::npos) length = std::strtoul(head.c_str() + at + 15, nullptr, 10);
    }
    std::size_t body = data.size() - headEnd - 4;
    while (body < length && length < (std::size_t{1} << 20)) {
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        body += static_cast<std::size_t>(got);
    }
    return true;
}

void Huge(int client, std::size_t bytes)
{
    if (!SendAll(client, Head(200, bytes))) return;
    const std::string piece(64 * 1024, 'x');
    for (std::size_t sent = 0; sent < bytes;) {
        const std::size_t now = std::min(piece.size(), bytes - sent);
        if (!SendAll(client, piece.data(), now)) return; // the client gave up: that is its right
        sent += now;
    }
}

void Drip(int client, const WriterSettings& settings)
{
    const std::string body = "[{\"drip\": \"" + std::string(settings.dripBytes, '.') + "\"}]";
    const std::string text = body.substr(0, settings.dripBytes);
    if (!SendAll(client, Head(200, text.size()))) return;
    for (char c : text) {
        std::this_thread::sleep_for(std::chrono::milliseconds(settings.dripMs));
        if (!SendAll(client, &c, 1)) return;
    }
}

void Reset(int client)
{
    const std::string half(1000, 'r');
    if (!SendAll(client, Head(200, 2 * half.size())) || !SendAll(client, half)) return;
    // A zero linger time makes close() send a reset instead of an orderly end.
    linger hard{1, 0};
    setsockopt(client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
}

} // namespace

std::string ServeConnection(int client, KindCycle& kinds, const WriterSettings& settings)
{
    std::string method, target;
    if (!ReadRequest(client, method, target)) {
        close(client);
        return "unreadable request";
    }
    const Endpoint endpoint = EndpointOf(method, target);
    const Kind kind = endpoint == Endpoint::Unknown ? Kind::Injection : kinds.Next(endpoint);
    std::string note = method + " " + target + " (" + EndpointName(endpoint) + "): " + KindName(kind);
    switch (kind) {
    case Kind::Huge: Huge(client, settings.hugeBytes); break;
    case Kind::Drip: Drip(client, settings); break;
    case Kind::Reset: Reset(client); break;
    case Kind::BadUtf8:
    case Kind::Nested:
    case Kind::Injection:
    case Kind::Misleading: {
        const ShapedReply reply = ShapedBody(endpoint, kind, settings.selfAddress);
        // A download is also offered a file name that climbs out of any folder.
        const std::string extra = endpoint == Endpoint::Download
                                      ? "Content-Disposition: attachment; filename=\"../../../../tmp/kestrel-escape.exe\"\r\n"
                                      : "";
        SendAll(client, Head(reply.status, reply.body.size(), extra) + reply.body);
        break;
    }
    }
    close(client);
    return note;
}

} // namespace hostile
