#include "plain_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <thread>

namespace demo {

namespace {

std::string Decode(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const std::string hex = text.substr(i + 1, 2);
            char* end = nullptr;
            const long value = std::strtol(hex.c_str(), &end, 16);
            if (hex.size() == 2 && end == hex.c_str() + 2) {
                out += static_cast<char>(value);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

const char* Reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    default: return "Error";
    }
}

void Serve(int client, const PlainHandler& handler)
{
    timeval timeout{5, 0};
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string data;
    char buffer[4096];
    size_t headerEnd = std::string::npos;
    while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos && data.size() < 65536) {
        ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        data.append(buffer, static_cast<size_t>(got));
    }
    if (headerEnd == std::string::npos) return;
    const std::string head = data.substr(0, headerEnd);
    std::string body = data.substr(headerEnd + 4);
    size_t length = 0;
    for (size_t at = head.find("\r\n"); at != std::string::npos; at = head.find("\r\n", at + 2)) {
        const std::string line = head.substr(at + 2, head.find("\r\n", at + 2) - at - 2);
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (name == "content-length") length = std::strtoul(line.c_str() + colon + 1, nullptr, 10);
    }
    while (body.size() < length && length < (1u << 20)) {
        ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        body.append(buffer, static_cast<size_t>(got));
    }
    const std::string requestLine = head.substr(0, head.find("\r\n"));
    const size_t first = requestLine.find(' ');
    const size_t last = requestLine.rfind(' ');
    PlainResponse response{400, "bad request line"};
    if (first != std::string::npos && last > first) {
        PlainRequest request = ParseTarget(requestLine.substr(0, first), requestLine.substr(first + 1, last - first - 1));
        request.body = body.substr(0, length);
        response = handler(request);
    }
    const std::string reply = "HTTP/1.1 " + std::to_string(response.status) + " " + Reason(response.status) +
                              "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(response.body.size()) +
                              "\r\nConnection: close\r\n\r\n" + response.body;
    size_t sent = 0;
    while (sent < reply.size()) {
        ssize_t n = send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

} // namespace

PlainRequest ParseTarget(const std::string& method, const std::string& target)
{
    PlainRequest request;
    request.method = method;
    const size_t question = target.find('?');
    request.path = Decode(target.substr(0, question));
    if (question == std::string::npos) return request;
    const std::string query = target.substr(question + 1);
    size_t start = 0;
    while (start <= query.size()) {
        size_t amp = query.find('&', start);
        if (amp == std::string::npos) amp = query.size();
        const std::string pair = query.substr(start, amp - start);
        const size_t equals = pair.find('=');
        if (!pair.empty())
            request.query[Decode(pair.substr(0, equals))] = equals == std::string::npos ? "" : Decode(pair.substr(equals + 1));
        start = amp + 1;
    }
    return request;
}

int StartPlainHttpServer(const std::string& address, int port, PlainHandler handler)
{
    int sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (sock < 0) return 0;
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t length = sizeof bound;
    if (inet_pton(AF_INET, address.c_str(), &bound.sin_addr) != 1 ||
        bind(sock, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 || listen(sock, 16) != 0 ||
        getsockname(sock, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        close(sock);
        return 0;
    }
    auto shared = std::make_shared<PlainHandler>(std::move(handler));
    std::thread([sock, shared] {
        for (;;) {
            int client = accept4(sock, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            std::thread([client, shared] {
                Serve(client, *shared);
                close(client);
            }).detach();
        }
    }).detach();
    return ntohs(bound.sin_port);
}

} // namespace demo
