#pragma once
// A blocking HTTP GET with the body handed over in chunks: WinHTTP on Windows, libcurl
// elsewhere. http and https (TLS, on 443 unless the URL names a port); redirects are
// followed, but never from https to http.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Where a transfer stopped; the names follow the steps of a WinHTTP transfer.
enum class HttpStage {
    None,      // complete
    Session,   // no session could be opened
    Connect,   // the server could not be reached (refused, name unknown)
    Request,   // the request could not be made (bad URL)
    Send,      // sending failed (includes TLS failures)
    Receive,   // no response head arrived
    Query,     // the body stopped (connection cut, time-out)
    Read,      // reading the body failed
    Cancelled, // the body callback asked to stop
};

struct HttpGetResult {
    HttpStage stage = HttpStage::None;
    int status = 0;                 // HTTP status, 0 before a response head arrived
    std::int64_t contentLength = -1; // -1 when the server sent none
    std::string detail;             // the system's wording, for logs
    bool ok() const { return stage == HttpStage::None; }
};

struct HttpGetRequest {
    std::string url;       // scheme://host[:port]/path; a URL without scheme is http
    std::string userAgent; // "ReverseProxy/1.0"
    // Each piece of the body as it arrives; false stops the transfer (stage Cancelled).
    std::function<bool(const char* data, std::size_t size)> onData;
    // Called once the head is in, with the status and the announced length (-1 unknown).
    std::function<void(int status, std::int64_t contentLength)> onHead;
    // Asked at least once a second while the transfer connects, waits for its head or runs;
    // true stops it (stage Cancelled). A server that holds its answer back cannot then keep
    // the caller (a plugin being unloaded) waiting for the time-outs.
    std::function<bool()> stopRequested;
};

HttpGetResult HttpGet(const HttpGetRequest& request);

} // namespace platform
