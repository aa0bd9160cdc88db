#include "platform/http_get.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <string>
#include <vector>

namespace platform {

namespace {

std::wstring Wide(const std::string& text)
{
    if (text.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

struct Handle {
    HINTERNET value = nullptr;
    ~Handle()
    {
        if (value) WinHttpCloseHandle(value);
    }
};

// WinHTTP can neither be interrupted from another thread nor run asynchronously under Wine, so
// the stop request is asked between the blocking calls, and each call is bounded by these: a
// server that holds its answer back costs a stopping caller at most one of them. Receiving is
// bounded per read, so a slow transfer that keeps moving goes on.
constexpr int kResolveTimeoutMs = 5000;
constexpr int kConnectTimeoutMs = 5000;
constexpr int kSendTimeoutMs = 5000;
constexpr int kReceiveTimeoutMs = 5000;
// The wait for the whole reply head is an option of its own (90 s by default), which Wine takes
// only on the request handle; it then bounds WinHttpSendRequest too, which under Wine waits for
// the head itself.
constexpr DWORD kResponseHeadTimeoutMs = 5000;

HttpGetResult Stopped(int status = 0, std::int64_t contentLength = -1)
{
    HttpGetResult result;
    result.stage = HttpStage::Cancelled;
    result.status = status;
    result.contentLength = contentLength;
    result.detail = "stopped";
    return result;
}

HttpGetResult Fail(HttpStage stage, const char* call)
{
    HttpGetResult result;
    result.stage = stage;
    result.detail = std::string(call) + " failed, error " + std::to_string(GetLastError());
    return result;
}

} // namespace

HttpGetResult HttpGet(const HttpGetRequest& request)
{
    std::wstring url = Wide(request.url.find("://") == std::string::npos ? "http://" + request.url : request.url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    wchar_t host[256] = {};
    std::vector<wchar_t> path(url.size() + 2);
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    std::vector<wchar_t> extra(url.size() + 2);
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());

    Handle session;
    session.value = WinHttpOpen(Wide(request.userAgent).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session.value) return Fail(HttpStage::Session, "WinHttpOpen");
    // Set on the session, so the connection and the request made from it inherit them.
    if (!WinHttpSetTimeouts(session.value, kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs, kReceiveTimeoutMs))
        return Fail(HttpStage::Session, "WinHttpSetTimeouts");
    const auto stopping = [&request] { return request.stopRequested && request.stopRequested(); };
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return Fail(HttpStage::Request, "WinHttpCrackUrl");
    bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (!secure && parts.nScheme != INTERNET_SCHEME_HTTP) return Fail(HttpStage::Request, "scheme");
    // WinHTTP's default redirect policy already refuses https to http.
    Handle connection;
    connection.value = WinHttpConnect(session.value, host, parts.nPort, 0);
    if (!connection.value) return Fail(HttpStage::Connect, "WinHttpConnect");
    std::wstring object = std::wstring(path.data()) + extra.data();
    if (object.empty()) object = L"/";
    Handle call;
    call.value = WinHttpOpenRequest(connection.value, L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
                                    WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0);
    if (!call.value) return Fail(HttpStage::Request, "WinHttpOpenRequest");
    DWORD headTimeout = kResponseHeadTimeoutMs;
    if (!WinHttpSetOption(call.value, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headTimeout, sizeof headTimeout))
        return Fail(HttpStage::Request, "WinHttpSetOption");
    if (stopping()) return Stopped();
    if (!WinHttpSendRequest(call.value, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
        DWORD code = GetLastError();
        if (stopping()) return Stopped();
        SetLastError(code);
        // WinHTTP reports an unreachable server only when the request is sent.
        bool unreachable = code == ERROR_WINHTTP_CANNOT_CONNECT || code == ERROR_WINHTTP_NAME_NOT_RESOLVED;
        return Fail(unreachable ? HttpStage::Connect : HttpStage::Send, "WinHttpSendRequest");
    }
    if (stopping()) return Stopped();
    if (!WinHttpReceiveResponse(call.value, nullptr)) {
        // A time-out while stopping is the stop's doing, not the server's failure.
        if (stopping()) return Stopped();
        return Fail(HttpStage::Receive, "WinHttpReceiveResponse");
    }
    if (stopping()) return Stopped();

    HttpGetResult result;
    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(call.value, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &status, &size, WINHTTP_NO_HEADER_INDEX);
    result.status = static_cast<int>(status);
    wchar_t lengthText[32] = {};
    size = sizeof lengthText;
    if (WinHttpQueryHeaders(call.value, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, lengthText, &size,
                            WINHTTP_NO_HEADER_INDEX)) {
        result.contentLength = _wcstoi64(lengthText, nullptr, 10);
    }
    if (request.onHead) request.onHead(result.status, result.contentLength);

    std::vector<char> buffer(8192);
    for (;;) {
        if (stopping()) return Stopped(result.status, result.contentLength);
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(call.value, &available)) {
            if (stopping()) return Stopped(result.status, result.contentLength);
            auto failed = Fail(HttpStage::Query, "WinHttpQueryDataAvailable");
            result.stage = failed.stage;
            result.detail = failed.detail;
            break;
        }
        if (available == 0) break;
        DWORD got = 0;
        // No more than is there: Wine's WinHttpReadData waits until the whole size has come, which
        // keeps a trickling transfer from ever reaching the stop check.
        const DWORD wanted = std::min<DWORD>(available, static_cast<DWORD>(buffer.size()));
        if (!WinHttpReadData(call.value, buffer.data(), wanted, &got)) {
            auto failed = Fail(HttpStage::Read, "WinHttpReadData");
            result.stage = failed.stage;
            result.detail = failed.detail;
            break;
        }
        if (got == 0) break;
        if (request.onData && !request.onData(buffer.data(), got)) {
            result.stage = HttpStage::Cancelled;
            break;
        }
    }
    return result;
}

} // namespace platform
