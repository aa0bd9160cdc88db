// Lookups through GetAddrInfoExW with an OVERLAPPED and an event, so the caller waits in short
// slices and can leave. A stop cancels the lookup; where the cancel does not complete it (Wine
// only stubs GetAddrInfoExCancel) the lookup's memory and event are left to the system, which
// writes into them when the lookup ends. No completion routine is given, so nothing of the
// caller's code runs then.
#include "platform/name_resolution.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <mutex>

// In ws2_32 since Windows 8, but not declared by MinGW's headers.
extern "C" {
WINSOCK_API_LINKAGE INT WSAAPI GetAddrInfoExCancel(LPHANDLE lpHandle);
WINSOCK_API_LINKAGE INT WSAAPI GetAddrInfoExOverlappedResult(LPOVERLAPPED lpOverlapped);
}

namespace platform {

namespace {

constexpr DWORD kSliceMs = 50;
// How long a cancelled lookup may take to report that it ended before it is left behind.
constexpr DWORD kCancelGraceMs = 200;

// Winsock is started once per process and never cleaned up; a failed start is retried on
// the next call.
bool WinsockReady()
{
    static std::mutex mutex;
    static bool started = false;
    std::lock_guard lock(mutex);
    if (!started) {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    return started;
}

// Everything the system may still write to after the caller has gone: heap, never the stack.
struct PendingLookup {
    OVERLAPPED overlapped{};
    ADDRINFOEXW* result = nullptr;
    HANDLE cancel = nullptr;
    std::wstring name;
};

std::wstring Widened(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string FirstIPv4(const ADDRINFOEXW* result)
{
    // MinGW's header names the next record's type with another case, so it is cast back.
    for (const ADDRINFOEXW* node = result; node; node = reinterpret_cast<const ADDRINFOEXW*>(node->ai_next)) {
        if (node->ai_family != AF_INET || !node->ai_addr) continue;
        char buffer[22] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(node->ai_addr);
        return inet_ntop(AF_INET, &address->sin_addr, buffer, sizeof buffer) ? std::string(buffer) : std::string();
    }
    return {};
}

void Release(PendingLookup* lookup)
{
    if (lookup->result) FreeAddrInfoExW(lookup->result);
    if (lookup->overlapped.hEvent) CloseHandle(lookup->overlapped.hEvent);
    delete lookup;
}

} // namespace

bool IsIPv4Address(const std::string& text)
{
    return !text.empty() && inet_addr(text.c_str()) != INADDR_NONE;
}

std::string ResolveIPv4(const std::string& text, const StopCheck& stopping)
{
    if (IsIPv4Address(text)) return text;
    if (!WinsockReady()) return "";
    auto* lookup = new PendingLookup;
    lookup->name = Widened(text);
    lookup->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (lookup->name.empty() || !lookup->overlapped.hEvent) {
        Release(lookup);
        return "";
    }
    ADDRINFOEXW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    int status = GetAddrInfoExW(lookup->name.c_str(), nullptr, NS_ALL, nullptr, &hints, &lookup->result, nullptr,
                                &lookup->overlapped, nullptr, &lookup->cancel);
    if (status == WSA_IO_PENDING) {
        bool stopped = false;
        while (WaitForSingleObject(lookup->overlapped.hEvent, kSliceMs) == WAIT_TIMEOUT) {
            if (stopping && stopping()) {
                stopped = true;
                break;
            }
        }
        if (stopped) {
            if (GetAddrInfoExCancel(&lookup->cancel) != NO_ERROR ||
                WaitForSingleObject(lookup->overlapped.hEvent, kCancelGraceMs) != WAIT_OBJECT_0) {
                // Still running: the system owns the lookup from here on.
                return "";
            }
            Release(lookup);
            return "";
        }
        status = GetAddrInfoExOverlappedResult(&lookup->overlapped);
    }
    const std::string address = status == 0 ? FirstIPv4(lookup->result) : std::string();
    Release(lookup);
    return address;
}

} // namespace platform
