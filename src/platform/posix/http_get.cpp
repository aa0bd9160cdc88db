#include "platform/http_get.h"

#include <curl/curl.h>

#include <cstdlib>
#include <mutex>

namespace platform {

namespace {

struct Transfer {
    const HttpGetRequest* request;
    bool headDone = false;
    bool cancelled = false;
    bool bodyStarted = false;
    CURL* curl;
};

size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    size_t bytes = size * count;
    transfer->bodyStarted = true;
    if (transfer->request->onData && !transfer->request->onData(data, bytes)) {
        transfer->cancelled = true;
        return 0;
    }
    return bytes;
}

// The head of the final response (redirects have heads of their own): the empty line ends it.
size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    size_t bytes = size * count;
    if (bytes <= 2 && (data[0] == '\r' || data[0] == '\n')) {
        long status = 0;
        curl_easy_getinfo(transfer->curl, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 300 && status < 400) return bytes; // a redirect that curl follows
        if (status == 100) return bytes;
        transfer->headDone = true;
        curl_off_t length = -1;
        curl_easy_getinfo(transfer->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (transfer->request->onHead) transfer->request->onHead(static_cast<int>(status), length);
    }
    return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* transfer = static_cast<Transfer*>(user);
    if (!transfer->request->stopRequested()) return 0;
    transfer->cancelled = true;
    return 1;
}

HttpStage StageOf(CURLcode code, const Transfer& transfer)
{
    switch (code) {
    case CURLE_ABORTED_BY_CALLBACK:
        return HttpStage::Cancelled;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
        return HttpStage::Connect;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return HttpStage::Request;
    case CURLE_WRITE_ERROR:
        return transfer.cancelled ? HttpStage::Cancelled : HttpStage::Read;
    default:
        if (transfer.headDone) return HttpStage::Query;
        if (code == CURLE_SSL_CONNECT_ERROR || code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SEND_ERROR)
            return HttpStage::Send;
        return HttpStage::Receive;
    }
}

} // namespace

HttpGetResult HttpGet(const HttpGetRequest& request)
{
    static std::once_flag globalInit;
    std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    HttpGetResult result;
    CURL* curl = curl_easy_init();
    if (!curl) {
        result.stage = HttpStage::Session;
        result.detail = "curl_easy_init failed";
        return result;
    }
    Transfer transfer{&request, false, false, false, curl};
    bool secure = request.url.rfind("https://", 0) == 0;
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, request.userAgent.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // A TLS download must not be turned into a plain one by a redirect.
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 10000L);
    // A stalled body ends the transfer instead of blocking its caller for good.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, 30L);
    if (const char* caFile = std::getenv("KESTREL_CA_FILE"); caFile && *caFile)
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    if (request.stopRequested) {
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    }
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

    CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    result.status = transfer.headDone ? static_cast<int>(status) : 0;
    curl_off_t length = -1;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    result.contentLength = transfer.headDone ? length : -1;
    if (code != CURLE_OK) {
        result.stage = StageOf(code, transfer);
        result.detail = *errorText ? errorText : curl_easy_strerror(code);
    }
    curl_easy_cleanup(curl);
    return result;
}

} // namespace platform
