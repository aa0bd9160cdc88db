#include "platform/http_get.h"

#include <windows.h>
#include <winhttp.h>

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
    if (!WinHttpSendRequest(call.value, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
        DWORD code = GetLastError();
        SetLastError(code);
        // WinHTTP reports an unreachable server only when the request is sent.
        bool unreachable = code == ERROR_WINHTTP_CANNOT_CONNECT || code == ERROR_WINHTTP_NAME_NOT_RESOLVED;
        return Fail(unreachable ? HttpStage::Connect : HttpStage::Send, "WinHttpSendRequest");
    }
    if (!WinHttpReceiveResponse(call.value, nullptr)) return Fail(HttpStage::Receive, "WinHttpReceiveResponse");

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
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(call.value, &available)) {
            auto failed = Fail(HttpStage::Query, "WinHttpQueryDataAvailable");
            result.stage = failed.stage;
            result.detail = failed.detail;
            break;
        }
        if (available == 0) break;
        DWORD got = 0;
        if (!WinHttpReadData(call.value, buffer.data(), static_cast<DWORD>(buffer.size()), &got)) {
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
