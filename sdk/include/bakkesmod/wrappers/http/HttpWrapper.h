#pragma once
// HTTP through the host. Every request gets exactly one completion, later, on the host's
// HTTP thread; code is the HTTP status, or bakkesmod::host::kHttpTransportFailure (-1)
// when no answer came.
#include <functional>
#include <map>
#include <string>

struct CurlRequest {
    std::string url;
    std::string verb = "GET";
    std::map<std::string, std::string> headers;
    std::string body;
};

class HttpWrapper {
public:
    static void SendCurlRequest(CurlRequest request, std::function<void(int code, std::string body)> done);
    // The same, with JSON content-type and accept headers.
    static void SendCurlJsonRequest(CurlRequest request, std::function<void(int code, std::string body)> done);
};
