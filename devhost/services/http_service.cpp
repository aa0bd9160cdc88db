#include "services/http_service.h"

#include <curl/curl.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "output.h"
#include "console/words.h"

namespace devhost {

namespace {

bool HasHeader(const std::map<std::string, std::string>& headers, const std::string& name)
{
    const std::string wanted = ToLower(name);
    return std::any_of(headers.begin(), headers.end(), [&](const auto& entry) { return ToLower(entry.first) == wanted; });
}

} // namespace

struct CurlHttpService::Transfer {
    CurlRequest request;
    bool json = false;
    bakkesmod::host::HttpDoneFn done;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    std::string body;
    bool tooLarge = false;
    std::size_t maxBytes = 0;
    char error[CURL_ERROR_SIZE] = {};

    ~Transfer()
    {
        if (easy) curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }

    static size_t Write(char* data, size_t size, size_t count, void* user)
    {
        auto* self = static_cast<Transfer*>(user);
        size_t bytes = size * count;
        if (bytes > self->maxBytes - self->body.size()) {
            self->tooLarge = true;
            return 0; // makes curl stop with a write error
        }
        self->body.append(data, bytes);
        return bytes;
    }

    // Returns an error text when the request cannot even be started.
    std::string prepare(const HttpTimeouts& timeouts)
    {
        maxBytes = timeouts.maxReplyBytes;
        easy = curl_easy_init();
        if (!easy) return "cannot create a transfer";
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        // Every connection closes with its request: nothing a plugin asked for stays open past
        // its unload, and the host's open files say what the plugin holds.
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
        // Addresses may come from remote replies: only HTTP(S), never file:// or others.
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, timeouts.connectMs);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, timeouts.totalMs);
        // Refuses a reply that announces its length up front before any of it is read.
        curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::Write);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
        // Plugins send map names and tags unencoded, spaces included; libcurl refuses a raw
        // space, so it travels as %20 as a forgiving client would send it.
        std::string url;
        for (char c : request.url) url += c == ' ' ? std::string("%20") : std::string(1, c);
        if (curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) != CURLE_OK || request.url.empty())
            return "bad URL: " + request.url;

        if (request.verb == "POST") {
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
            curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, request.body.c_str());
        } else if (request.verb != "GET" && !request.verb.empty()) {
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
            if (!request.body.empty()) {
                curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
                curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, request.body.c_str());
            }
        }

        for (const auto& [name, value] : request.headers) {
            if (name.find_first_of(":\r\n") != std::string::npos || value.find_first_of("\r\n") != std::string::npos)
                return "bad header: " + name;
            headers = curl_slist_append(headers, (name + ": " + value).c_str());
        }
        if (json) {
            if (!HasHeader(request.headers, "Content-Type"))
                headers = curl_slist_append(headers, "Content-Type: application/json");
            if (!HasHeader(request.headers, "Accept")) headers = curl_slist_append(headers, "Accept: application/json");
        }
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        return {};
    }
};

namespace {

void Complete(bakkesmod::host::HttpDoneFn& done, int code, std::string body)
{
    if (!done) return;
    auto fn = std::move(done);
    done = nullptr;
    try {
        fn(code, std::move(body));
    } catch (const std::exception& error) {
        HostMessage(std::string("an HTTP completion threw: ") + error.what());
    } catch (...) {
        HostMessage("an HTTP completion threw an unknown exception");
    }
}

} // namespace

CurlHttpService::CurlHttpService(HttpTimeouts timeouts) : timeouts(timeouts)
{
    multi = curl_multi_init();
    thread = std::thread([this] { run(); });
}

CurlHttpService::~CurlHttpService()
{
    stop();
    if (multi) curl_multi_cleanup(static_cast<CURLM*>(multi));
}

void CurlHttpService::send(const CurlRequest& request, bool json, bakkesmod::host::HttpDoneFn done)
{
    auto transfer = std::make_unique<Transfer>();
    transfer->request = request;
    transfer->json = json;
    transfer->done = std::move(done);
    std::unique_lock<std::mutex> lock(mutex);
    if (stopping) {
        lock.unlock();
        // The thread is gone; the caller still gets its one answer.
        Complete(transfer->done, bakkesmod::host::kHttpTransportFailure, "the host is shutting down");
        return;
    }
    incoming.push_back(std::move(transfer));
    arrived.notify_one();
    lock.unlock();
    if (multi) curl_multi_wakeup(static_cast<CURLM*>(multi));
}

void CurlHttpService::cancelAll(const std::string& reason)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (stopping) return;
    refusing = true;
    refuseReason = reason;
    cancelRequested = true;
    cancelReason = reason;
    arrived.notify_one();
    lock.unlock();
    curl_multi_wakeup(static_cast<CURLM*>(multi));
    lock.lock();
    cancelled.wait(lock, [this] { return !cancelRequested || stopping; });
}

void CurlHttpService::resume()
{
    std::lock_guard<std::mutex> lock(mutex);
    refusing = false;
}

void CurlHttpService::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping && !thread.joinable()) return;
        stopping = true;
        arrived.notify_one();
    }
    if (multi) curl_multi_wakeup(static_cast<CURLM*>(multi));
    if (thread.joinable()) thread.join();
}

void CurlHttpService::run()
{
    auto* m = static_cast<CURLM*>(multi);
    std::vector<std::unique_ptr<Transfer>> running;
    auto finish = [&](Transfer* transfer, int code, std::string body) {
        if (transfer->easy) curl_multi_remove_handle(m, transfer->easy);
        Complete(transfer->done, code, std::move(body));
    };
    for (;;) {
        std::deque<std::unique_ptr<Transfer>> fresh;
        bool cancel = false;
        bool stop = false;
        bool refuse = false;
        std::string reason;
        {
            std::lock_guard<std::mutex> lock(mutex);
            fresh.swap(incoming);
            cancel = cancelRequested;
            stop = stopping;
            refuse = refusing;
            reason = cancel ? cancelReason : refuseReason;
        }
        if (stop) {
            reason = "the host is shutting down";
            cancel = true;
        }
        for (auto& transfer : fresh) {
            if (!m) {
                Complete(transfer->done, bakkesmod::host::kHttpTransportFailure, "no HTTP engine");
                continue;
            }
            if (cancel || refuse) {
                Complete(transfer->done, bakkesmod::host::kHttpTransportFailure, reason);
                continue;
            }
            std::string error = transfer->prepare(timeouts);
            if (error.empty() && curl_multi_add_handle(m, transfer->easy) != CURLM_OK) error = "cannot start the transfer";
            if (!error.empty()) {
                Complete(transfer->done, bakkesmod::host::kHttpTransportFailure, error);
                continue;
            }
            running.push_back(std::move(transfer));
        }
        if (cancel) {
            for (auto& transfer : running) finish(transfer.get(), bakkesmod::host::kHttpTransportFailure, reason);
            running.clear();
            // A completion may send again; those requests are failed in this same round, so
            // none is left over once the caller closes the library. Completions run unlocked:
            // one that sends must not wait on this thread's own lock.
            for (;;) {
                std::unique_lock<std::mutex> lock(mutex);
                if (incoming.empty()) {
                    cancelRequested = false;
                    cancelled.notify_all();
                    break;
                }
                std::deque<std::unique_ptr<Transfer>> late;
                late.swap(incoming);
                lock.unlock();
                for (auto& transfer : late) Complete(transfer->done, bakkesmod::host::kHttpTransportFailure, reason);
            }
            if (stop) return;
            continue;
        }
        if (!m) {
            // No engine: nothing to poll, so sleep until a request or a cancel arrives.
            std::unique_lock<std::mutex> lock(mutex);
            arrived.wait(lock, [this] { return !incoming.empty() || cancelRequested || stopping; });
            continue;
        }

        int stillRunning = 0;
        curl_multi_perform(m, &stillRunning);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(m, &left)) {
            if (message->msg != CURLMSG_DONE) continue;
            Transfer* transfer = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, reinterpret_cast<char**>(&transfer));
            CURLcode result = message->data.result;
            long status = 0;
            curl_easy_getinfo(message->easy_handle, CURLINFO_RESPONSE_CODE, &status);
            if (result == CURLE_OK && status >= 100) {
                finish(transfer, static_cast<int>(status), std::move(transfer->body));
            } else {
                const bool tooLarge = transfer->tooLarge || result == CURLE_FILESIZE_EXCEEDED;
                std::string text = tooLarge ? "reply larger than " + std::to_string(timeouts.maxReplyBytes) + " bytes"
                                   : transfer->error[0] ? transfer->error
                                                        : curl_easy_strerror(result);
                finish(transfer, bakkesmod::host::kHttpTransportFailure, text);
            }
            running.erase(std::remove_if(running.begin(), running.end(),
                                         [&](const auto& entry) { return entry.get() == transfer; }),
                          running.end());
        }
        curl_multi_poll(m, nullptr, 0, 1000, nullptr);
    }
}

} // namespace devhost
