#pragma once
// A minimal HTTP/1.1 server for the hosting locations' APIs. The plugin sends its network
// options unencoded ("&networkOptions=?NumPublicConnections=10?..."), which the general HTTP
// library refuses as a second query; a hosting service reads everything after the first
// "?" as the query, and so does this one.
#include <functional>
#include <map>
#include <string>

namespace demo {

struct PlainRequest {
    std::string method;
    std::string path;
    std::map<std::string, std::string> query; // percent-decoded; the first "=" splits a pair
    std::string body;
};

struct PlainResponse {
    int status = 200;
    std::string body;
};

using PlainHandler = std::function<PlainResponse(const PlainRequest&)>;

// Splits a request target at its first "?" and reads the query.
PlainRequest ParseTarget(const std::string& method, const std::string& target);

// Listens on address:port (0 for any free port) and answers on a thread of its own for the
// rest of the process. Returns the port, or 0 when it cannot listen.
int StartPlainHttpServer(const std::string& address, int port, PlainHandler handler);

} // namespace demo
