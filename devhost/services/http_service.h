#pragma once
// HTTP for the plugin through libcurl. One thread runs every transfer and every
// completion; each request gets exactly one completion: the HTTP status, or
// kHttpTransportFailure (-1) with curl's error text as the body when no answer came.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "bakkesmod/host/services.h"
#include "bakkesmod/wrappers/http/HttpWrapper.h"

namespace devhost {

struct HttpTimeouts {
    long connectMs = 5000;
    long totalMs = 15000;
    // A reply body longer than this is cut off and completed as a failure rather than filling
    // memory.
    std::size_t maxReplyBytes = 16 * 1024 * 1024;
};

class CurlHttpService : public bakkesmod::host::HttpService {
public:
    explicit CurlHttpService(HttpTimeouts timeouts);
    ~CurlHttpService() override;
    CurlHttpService(const CurlHttpService&) = delete;
    CurlHttpService& operator=(const CurlHttpService&) = delete;

    void send(const CurlRequest& request, bool json, bakkesmod::host::HttpDoneFn done) override;

    // Completes every queued and running request with the failure status and waits until
    // no completion runs. Until resume(), new requests fail at once (still on the HTTP
    // thread). Used before a plugin library is closed.
    void cancelAll(const std::string& reason);
    void resume();

    // Ends the thread after failing whatever is left.
    void stop();

private:
    struct Transfer;
    void run();

    const HttpTimeouts timeouts;
    void* multi = nullptr; // CURLM*, touched only by the HTTP thread after construction

    std::mutex mutex;
    std::condition_variable cancelled;
    std::condition_variable arrived; // only waited on when libcurl could not start
    std::deque<std::unique_ptr<Transfer>> incoming;
    bool refusing = false;
    std::string refuseReason;
    bool cancelRequested = false;
    std::string cancelReason;
    bool stopping = false;
    std::thread thread;
};

} // namespace devhost
