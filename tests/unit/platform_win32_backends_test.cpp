// The Windows backends of the reverse proxy under Wine: the tunnel client manager's child in its
// kill-on-close job (with its output pipe), the port service read over WinHTTP from a loopback
// server, and an ICMP echo of 127.0.0.1.
#ifdef _WIN32
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fake_host.h"
#include "platform/folders.h"
#include "platform/http_get.h"
#include "platform/icmp_echo.h"
#include "plugin/logging.h"
#include "process_probe.h"
#include "reverseproxy/frp_client_manager.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// This test program copied to the tunnel client's path: there it prints its command line and
// waits to be ended, as a client logged in to its server would.
const bool runsAsTunnelClient = [] {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (fs::path(path).filename() != L"frpc.exe") return false;
    std::printf("stand-in frpc started: %ls\n", GetCommandLineW());
    std::fflush(stdout);
    Sleep(60000);
    ExitProcess(0);
}();

// Answers every request on 127.0.0.1 with one fixed response and keeps the request lines.
class LoopbackHttpServer {
public:
    explicit LoopbackHttpServer(std::string response) : response(std::move(response))
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int size = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
        listen(listener, 8);
        thread = std::thread([this] { Serve(); });
    }
    ~LoopbackHttpServer()
    {
        stopping = true;
        closesocket(listener);
        thread.join();
        WSACleanup();
    }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
    std::vector<std::string> Requests() const
    {
        std::lock_guard lock(mutex);
        return requests;
    }

    int port = 0;

private:
    void Serve()
    {
        while (!stopping) {
            SOCKET client = accept(listener, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;
            std::string head;
            char buffer[1024];
            while (head.find("\r\n\r\n") == std::string::npos) {
                int got = recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                head.append(buffer, static_cast<size_t>(got));
            }
            {
                std::lock_guard lock(mutex);
                requests.push_back(head.substr(0, head.find("\r\n")));
            }
            send(client, response.data(), static_cast<int>(response.size()), 0);
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }

    std::string response;
    SOCKET listener = INVALID_SOCKET;
    std::atomic<bool> stopping{false};
    std::thread thread;
    mutable std::mutex mutex;
    std::vector<std::string> requests;
};

std::string Response(int status, const std::string& body)
{
    return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

TEST(WindowsHttp, WinHttpReadsALoopbackServer)
{
    struct Case {
        int status;
        std::string body;
    };
    for (const Case& c : {Case{200, "{\"port\": 47952}"}, Case{404, "no such port"}, Case{200, std::string(70000, 'x')}}) {
        SCOPED_TRACE(c.status);
        LoopbackHttpServer server(Response(c.status, c.body));
        std::string body;
        int headStatus = 0;
        platform::HttpGetRequest request;
        request.url = server.Url("/get-port");
        request.userAgent = "ReverseProxy/1.0";
        request.onHead = [&](int status, std::int64_t) { headStatus = status; };
        request.onData = [&](const char* data, std::size_t size) {
            body.append(data, size);
            return true;
        };
        auto result = platform::HttpGet(request);
        ASSERT_TRUE(result.ok()) << result.detail;
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(headStatus, c.status);
        EXPECT_EQ(result.contentLength, static_cast<std::int64_t>(c.body.size()));
        EXPECT_EQ(body, c.body);
        EXPECT_THAT(server.Requests(), ::testing::ElementsAre("GET /get-port HTTP/1.1"));
    }
}

TEST(WindowsHttp, ARefusedConnectionStopsAtConnect)
{
    int port;
    {
        LoopbackHttpServer server(Response(200, ""));
        port = server.port;
    }
    platform::HttpGetRequest request;
    request.url = "http://127.0.0.1:" + std::to_string(port) + "/get-port";
    request.onData = [](const char*, std::size_t) { return true; };
    auto result = platform::HttpGet(request);
    EXPECT_EQ(result.stage, platform::HttpStage::Connect) << result.detail;
    EXPECT_EQ(result.status, 0);
}

// A loopback server whose every answer stalls: it holds back the reply head, or sends the head
// and then the body one byte every interval.
class StallingServer {
public:
    // bodyBytes 0: hold the answer back until the server is destroyed.
    StallingServer(int bodyBytes, DWORD intervalMs) : bodyBytes(bodyBytes), intervalMs(intervalMs)
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int size = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
        listen(listener, 8);
        thread = std::thread([this] { Serve(); });
    }
    ~StallingServer()
    {
        stopping = true;
        closesocket(listener);
        thread.join();
        WSACleanup();
    }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }

    int port = 0;

private:
    // Sleeps in short steps; false once the server is going away.
    bool Pause(DWORD ms)
    {
        for (DWORD slept = 0; slept < ms && !stopping; slept += 20) Sleep(20);
        return !stopping;
    }
    void Serve()
    {
        while (!stopping) {
            SOCKET client = accept(listener, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;
            std::string head;
            char buffer[1024];
            while (head.find("\r\n\r\n") == std::string::npos) {
                int got = recv(client, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                head.append(buffer, static_cast<size_t>(got));
            }
            if (bodyBytes == 0) {
                while (Pause(1000)) {
                }
            } else {
                const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(bodyBytes) +
                                          "\r\nConnection: close\r\n\r\n";
                send(client, reply.data(), static_cast<int>(reply.size()), 0);
                for (int i = 0; i < bodyBytes && Pause(intervalMs); ++i) {
                    const char byte = static_cast<char>('a' + i % 26);
                    send(client, &byte, 1, 0);
                }
            }
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }

    const int bodyBytes;
    const DWORD intervalMs;
    SOCKET listener = INVALID_SOCKET;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

TEST(WindowsHttp, ASlowTransferThatKeepsMovingIsNotCutOff)
{
    // Three bytes two seconds apart: longer in all than one read's time-out, never longer between
    // two bytes.
    StallingServer server(3, 2000);
    std::string body;
    platform::HttpGetRequest request;
    request.url = server.Url("/reverseproxy/frpc.exe");
    request.onData = [&](const char* data, std::size_t size) {
        body.append(data, size);
        return true;
    };
    const auto started = std::chrono::steady_clock::now();
    const auto result = platform::HttpGet(request);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    ASSERT_TRUE(result.ok()) << result.detail << " after " << took.count() << " ms";
    EXPECT_EQ(body, "abc");
    std::printf("a byte every 2 s: 3 bytes in %lld ms\n", static_cast<long long>(took.count()));
}

struct WindowsTunnelClient : ::testing::Test {
    kestrel::testing::FakeHost host;
    fs::path frpcPath;
    fs::path saved; // a tunnel client that was there before the test

    void SetUp() override
    {
        globalCvarManager = host.cvarManager;
        // Windows finds the folder through the shell: this is the prefix's own AppData.
        frpcPath = platform::AppDataFolder() / "bakkesmod" / "bakkesmod" / "data" / "ReverseProxy" / "frpc.exe";
        fs::create_directories(frpcPath.parent_path());
        if (fs::exists(frpcPath)) {
            saved = frpcPath;
            saved += ".before-test";
            fs::rename(frpcPath, saved);
        }
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        fs::copy_file(self, frpcPath, fs::copy_options::overwrite_existing);
    }
    void TearDown() override
    {
        globalCvarManager.reset();
        std::error_code ignored;
        // The ended child's image may stay locked for a moment.
        for (int i = 0; i < 50 && fs::exists(frpcPath); ++i) {
            if (!fs::remove(frpcPath, ignored)) Sleep(20);
        }
        if (!saved.empty()) fs::rename(saved, frpcPath, ignored);
    }
};

TEST_F(WindowsTunnelClient, TheChildEndsWithTheManagersJob)
{
    LoopbackHttpServer service(Response(200, "{\"port\": 47952}"));
    std::mutex mutex;
    std::vector<std::string> lines;
    std::uint32_t pid = 0;
    {
        FRPClientManager manager;
        manager.SetPortServiceUrl(service.Url(""));
        manager.SetProcessCallbacks({[&](const std::string& line) {
                                         std::lock_guard lock(mutex);
                                         lines.push_back(line);
                                     },
                                     {}});
        ASSERT_TRUE(manager.Initialize()) << manager.GetLastError();
        ASSERT_TRUE(manager.Start(ProxyServer("P", "127.0.0.1", 7000, ""), 7777)) << manager.GetLastError();
        EXPECT_EQ(manager.GetRemotePort(), 47952);
        EXPECT_THAT(service.Requests(), ::testing::ElementsAre("GET /get-port HTTP/1.1"));
        pid = manager.GetProcessId();
        ASSERT_GT(pid, 0u);

        // Its output arrives through the pipe while it runs.
        std::string seen;
        for (int i = 0; i < 500 && seen.empty(); ++i) {
            {
                std::lock_guard lock(mutex);
                if (!lines.empty()) seen = lines.front();
            }
            if (seen.empty()) Sleep(10);
        }
        EXPECT_THAT(seen, HasSubstr("stand-in frpc started"));
        EXPECT_THAT(seen, HasSubstr("-c"));
        EXPECT_THAT(seen, HasSubstr("frpc_config.toml"));
        EXPECT_FALSE(kestrel::testing::ProcessGone(pid));
    }
    EXPECT_TRUE(kestrel::testing::WaitProcessGone(pid, std::chrono::seconds(5)));
}

// What an unload waits for when it comes during a transfer its server holds back or trickles:
// the stop is seen between WinHTTP's blocking calls, each of which its time-outs bound.
TEST_F(WindowsTunnelClient, AStopDuringAHeldOrTricklingTransferEndsWithinAboutFiveSeconds)
{
    StallingServer held(0, 0);
    StallingServer trickling(1000, 2000);
    std::atomic<bool> stop{false};
    struct Case {
        const char* name;
        std::function<bool(FRPClientManager&)> run; // true when it ended as a stop should
    };
    const Case cases[] = {
        {"held port request", [&](FRPClientManager& manager) {
             manager.SetPortServiceUrl(held.Url(""));
             manager.SetStopCheck([&] { return stop.load(); });
             if (!manager.Initialize() || manager.Start(ProxyServer("P", "127.0.0.1", 7000, ""), 7777)) return false;
             const auto lines = host.console.lines();
             return std::find(lines.begin(), lines.end(),
                              "[FRPClientManager ERROR] Port request stopped: the reverse proxy is shutting down") != lines.end();
         }},
        {"held download", [&](FRPClientManager& manager) {
             return !manager.DownloadFrpc(held.Url("/reverseproxy/frpc.exe"), &stop) &&
                    manager.GetLastError() == "Download cancelled";
         }},
        {"trickling download", [&](FRPClientManager& manager) {
             return !manager.DownloadFrpc(trickling.Url("/reverseproxy/frpc.exe"), &stop) &&
                    manager.GetLastError() == "Download cancelled";
         }},
    };
    for (const Case& c : cases) {
        stop = false;
        FRPClientManager manager;
        std::chrono::steady_clock::time_point stoppedAt;
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            stoppedAt = std::chrono::steady_clock::now();
            stop = true;
        });
        EXPECT_TRUE(c.run(manager)) << c.name << ": " << manager.GetLastError();
        const auto returned = std::chrono::steady_clock::now();
        stopper.join();
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(returned - stoppedAt);
        std::printf("%s: returned %lld ms after the stop\n", c.name, static_cast<long long>(waited.count()));
        // WinHTTP's own defaults would hold it 30 s and more.
        EXPECT_LT(waited, std::chrono::milliseconds(7000)) << c.name;
    }
}

TEST(WindowsIcmp, AnEchoOfLoopbackHasALatency)
{
    char payload[32] = "ReverseProxyPing";
    const std::int32_t latency = platform::IcmpEcho("127.0.0.1", payload, sizeof payload, 1000);
    if (latency < 0) {
        // Ask the system directly for the reason the backend saw.
        HANDLE icmp = IcmpCreateFile();
        ASSERT_NE(icmp, INVALID_HANDLE_VALUE);
        char reply[sizeof(ICMP_ECHO_REPLY) + sizeof payload + 8];
        DWORD count = IcmpSendEcho(icmp, htonl(INADDR_LOOPBACK), payload, sizeof payload, nullptr, reply, sizeof reply, 1000);
        DWORD error = GetLastError();
        IcmpCloseHandle(icmp);
        if (count == 0 && error == ERROR_ACCESS_DENIED)
            GTEST_SKIP() << "Wine sends ICMP echoes only when it runs as root (error 5 otherwise)";
        FAIL() << "the backend reported -1; IcmpSendEcho gave " << count << " replies, error " << error;
    }
    EXPECT_GE(latency, 0);
    EXPECT_LT(latency, 1000);
    // Not dotted IPv4: no probe at all.
    EXPECT_EQ(platform::IcmpEcho("localhost", payload, sizeof payload, 1000), -1);
}

} // namespace
#endif
