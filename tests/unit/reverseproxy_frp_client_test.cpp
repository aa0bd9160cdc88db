// The tunnel client manager against loopback HTTP(S) servers and a scripted client program.
#ifndef _WIN32
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include <toml++/toml.h>

#include "fake_host.h"
#include "plugin/logging.h"
#include "process_probe.h"
#include "reverseproxy/frp_client_manager.h"
#include "reverseproxy/sha256.h"

namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::HasSubstr;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

// One loopback server per test; routes are set before it starts.
struct LoopbackServer {
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = 0;

    explicit LoopbackServer(std::unique_ptr<httplib::Server> s = std::make_unique<httplib::Server>()) : server(std::move(s)) {}
    void Run()
    {
        port = server->bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server->listen_after_bind(); });
        while (!server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LoopbackServer()
    {
        server->stop();
        if (thread.joinable()) thread.join();
    }
    std::string Url(const std::string& scheme = "http") const
    {
        return scheme + "://127.0.0.1:" + std::to_string(port);
    }
};

struct FrpClientTest : ::testing::Test {
    kestrel::testing::FakeHost host;
    fs::path root;
    fs::path frpcPath;
    fs::path configPath;

    void SetUp() override
    {
        globalCvarManager = host.cvarManager;
        root = fs::temp_directory_path() / ("kestrel-frpc-" + std::to_string(std::random_device{}()));
        setenv("KESTREL_APPDATA", (root / "appdata").c_str(), 1);
        setenv("KESTREL_TEMP", (root / "temp").c_str(), 1);
        frpcPath = root / "appdata/bakkesmod/bakkesmod/data/ReverseProxy/frpc.exe";
        configPath = root / "temp/ReverseProxy/frpc_config.toml";
    }
    void TearDown() override
    {
        globalCvarManager.reset();
        unsetenv("KESTREL_APPDATA");
        unsetenv("KESTREL_TEMP");
        unsetenv("KESTREL_CA_FILE");
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    // A client program that prints its arguments and runs until it is ended.
    void InstallClient(const std::string& script = "echo \"args $*\"\nexec sleep 30\n")
    {
        WriteFile(frpcPath, "#!/bin/sh\n" + script);
        fs::permissions(frpcPath, fs::perms::owner_all);
    }
    bool HasLine(const std::string& line) const
    {
        auto lines = host.console.lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

void ServePort(httplib::Server& server, int status, std::string body)
{
    server.Get("/get-port", [status, body](const httplib::Request&, httplib::Response& response) {
        response.status = status;
        response.set_content(body, "application/json");
    });
}

TEST_F(FrpClientTest, InitializeNeedsTheExecutable)
{
    FRPClientManager manager;
    EXPECT_FALSE(FRPClientManager::IsFrpcAvailable());
    EXPECT_FALSE(manager.Initialize());
    EXPECT_EQ(manager.GetLastError(), "frpc.exe not found at: " + frpcPath.string());
    EXPECT_TRUE(HasLine("[FRPClientManager ERROR] frpc.exe not found at: " + frpcPath.string()));
    InstallClient();
    EXPECT_TRUE(FRPClientManager::IsFrpcAvailable());
    EXPECT_TRUE(manager.Initialize());
    EXPECT_TRUE(HasLine("FRPClientManager initialized. frpc.exe location: " + frpcPath.string()));
}

TEST_F(FrpClientTest, PortAnswersDecideTheStart)
{
    struct Case {
        int status;
        std::string body;
        int32_t port; // 0: the start fails with the body in the message
    };
    const Case cases[] = {
        {200, "{\"port\": 7123}", 7123},
        {200, "{\"port\":\"7124\"}", 7124},
        {503, "{\"error\": \"busy\", \"port\": 7125}", 7125}, // the status is not what counts
        {200, "{\"port\": 0}", 0},
        {200, "{\"status\": \"full\"}", 0},
        {200, "", 0},
        {200, "{\"port\": 70000}", 0},
    };
    InstallClient();
    for (const auto& c : cases) {
        LoopbackServer service;
        ServePort(*service.server, c.status, c.body);
        service.Run();
        FRPClientManager manager;
        manager.SetPortServiceUrl(service.Url());
        ASSERT_TRUE(manager.Initialize());
        bool started = manager.Start(ProxyServer("P", "127.0.0.1", 7000, ""), 7777);
        EXPECT_EQ(started, c.port != 0) << c.body;
        EXPECT_EQ(manager.GetRemotePort(), c.port) << c.body;
        if (c.port == 0) {
            EXPECT_EQ(manager.GetLastError(), "Failed to fetch remote port from server");
            EXPECT_TRUE(HasLine("[FRPClientManager ERROR] Failed to parse port from response: " + c.body)) << c.body;
            EXPECT_FALSE(manager.IsRunning());
        } else {
            EXPECT_TRUE(HasLine("Successfully fetched remote port: " + std::to_string(c.port)));
            EXPECT_TRUE(manager.IsRunning());
        }
    }
}

TEST_F(FrpClientTest, PortServiceFailures)
{
    InstallClient();
    {
        LoopbackServer service;
        service.server->Get("/get-port", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(70 * 1024, ' ') + "{\"port\": 7000}", "application/json");
        });
        service.Run();
        FRPClientManager manager;
        manager.SetPortServiceUrl(service.Url() + "/get-port");
        EXPECT_FALSE(manager.Start(ProxyServer("P", "127.0.0.1", 7000, ""), 7777));
        EXPECT_TRUE(HasLine("[FRPClientManager ERROR] Port service answer is larger than 65536 bytes"));
    }
    int freePort;
    {
        LoopbackServer closed;
        closed.Run();
        freePort = closed.port;
    }
    FRPClientManager manager;
    manager.SetPortServiceUrl("http://127.0.0.1:" + std::to_string(freePort));
    EXPECT_FALSE(manager.Start(ProxyServer("P", "127.0.0.1", 7000, ""), 7777));
    EXPECT_TRUE(HasLine("[FRPClientManager ERROR] Failed to connect to port server"));
    EXPECT_EQ(manager.GetLastError(), "Failed to fetch remote port from server");
}

TEST_F(FrpClientTest, StartWritesTheConfigurationAndRunsTheClient)
{
    InstallClient();
    LoopbackServer service;
    ServePort(*service.server, 200, "{\"port\": 47950}");
    service.Run();
    std::mutex mutex;
    std::vector<std::string> output;
    FRPClientManager manager;
    manager.SetPortServiceUrl(service.Url());
    manager.SetProcessCallbacks({[&](const std::string& line) {
                                     std::lock_guard lock(mutex);
                                     output.push_back(line);
                                 },
                                 {}});
    ASSERT_TRUE(manager.Initialize());
    ASSERT_TRUE(manager.Start(ProxyServer("P", "proxy.test", 7001, "tok\"en"), 7777));
    std::string commandLine = "\"" + frpcPath.string() + "\" -c \"" + configPath.string() + "\"";
    EXPECT_TRUE(HasLine("Starting FRP client: " + commandLine));
    EXPECT_TRUE(HasLine("Generated FRP config file: " + configPath.string()));
    uint32_t pid = manager.GetProcessId();
    EXPECT_TRUE(HasLine("FRP client started successfully (PID: " + std::to_string(pid) + ")"));
    auto table = toml::parse_file(configPath.string());
    EXPECT_EQ(table["serverAddr"].value<std::string>(), "proxy.test");
    EXPECT_EQ(table["auth"]["token"].value<std::string>(), "tok\"en");
    EXPECT_EQ(table["proxies"][0]["remotePort"].value<int64_t>(), 47950);

    // A second start while the client runs leaves it running.
    EXPECT_FALSE(manager.Start(ProxyServer("P", "proxy.test", 7001, ""), 7777));
    EXPECT_EQ(manager.GetLastError(), "FRP client is already running");
    EXPECT_TRUE(manager.IsRunning());
    EXPECT_EQ(manager.GetProcessId(), pid);

    for (int i = 0; i < 500; ++i) {
        std::lock_guard lock(mutex);
        if (!output.empty()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    {
        std::lock_guard lock(mutex);
        EXPECT_THAT(output, Contains("args -c " + configPath.string()));
    }
    EXPECT_TRUE(manager.Stop());
    EXPECT_TRUE(HasLine("Stopping FRP client..."));
    EXPECT_TRUE(HasLine("FRP client stopped successfully"));
    EXPECT_EQ(manager.GetRemotePort(), 0);
    EXPECT_TRUE(kestrel::testing::WaitProcessGone(pid));
}

TEST_F(FrpClientTest, StopWithNoClientOrAnEndedOneDoesNothing)
{
    InstallClient("echo bye\nexit 4\n");
    LoopbackServer service;
    ServePort(*service.server, 200, "{\"port\": 47951}");
    service.Run();
    std::atomic<int> exitCode{-1};
    FRPClientManager manager;
    manager.SetPortServiceUrl(service.Url());
    manager.SetProcessCallbacks({{}, [&](int code) { exitCode = code; }});
    ASSERT_TRUE(manager.Initialize());
    host.console.clearLines();
    EXPECT_TRUE(manager.Stop());
    EXPECT_TRUE(host.console.lines().empty());
    ASSERT_TRUE(manager.Start(ProxyServer("P", "127.0.0.1", 7000, ""), 7777));
    for (int i = 0; i < 500 && exitCode == -1; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(exitCode, 4);
    EXPECT_FALSE(manager.IsRunning());
    host.console.clearLines();
    EXPECT_TRUE(manager.Stop());
    EXPECT_TRUE(host.console.lines().empty());
    // An ended client does not block the next start.
    EXPECT_TRUE(manager.Start(ProxyServer("P", "127.0.0.1", 7000, ""), 7777));
}

TEST_F(FrpClientTest, DestroyingTheManagerEndsTheClient)
{
    InstallClient();
    LoopbackServer service;
    ServePort(*service.server, 200, "{\"port\": 47952}");
    service.Run();
    uint32_t pid;
    {
        FRPClientManager manager;
        manager.SetPortServiceUrl(service.Url());
        ASSERT_TRUE(manager.Initialize());
        ASSERT_TRUE(manager.Start(ProxyServer("P", "127.0.0.1", 7000, ""), 7777));
        pid = manager.GetProcessId();
        ASSERT_GT(pid, 0u);
    }
    EXPECT_TRUE(kestrel::testing::WaitProcessGone(pid));
}

const std::string kClientBytes = std::string("#!/bin/sh\necho new client\n") + std::string(20000, '#') + "\n";

void ServeDownloads(httplib::Server& server)
{
    server.Get("/reverseproxy/frpc.exe", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(kClientBytes, "application/octet-stream");
    });
    server.Get("/cut-with-length", [](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(kClientBytes.size(), "application/octet-stream",
                                      [](size_t, size_t, httplib::DataSink& sink) {
                                          sink.write(kClientBytes.data(), kClientBytes.size() / 2);
                                          return false; // the connection ends short of the announced length
                                      });
    });
    server.Get("/cut-chunked", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("application/octet-stream", [](size_t offset, httplib::DataSink& sink) {
            if (offset > 0) return false; // cut after the first chunk, without the closing one
            sink.write(kClientBytes.data(), 1000);
            return true;
        });
    });
    // Announces far more than any tunnel client is; the first piece is all that is ever sent.
    server.Get("/huge", [](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(size_t{200} << 20, "application/octet-stream",
                                      [](size_t, size_t, httplib::DataSink& sink) {
                                          sink.write(kClientBytes.data(), 1000);
                                          return false;
                                      });
    });
    server.Get("/empty", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("", "application/octet-stream");
    });
    server.Get("/moved", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/reverseproxy/frpc.exe");
    });
}

TEST_F(FrpClientTest, FailedDownloadsKeepThePreviousExecutable)
{
    const std::string previous = "#!/bin/sh\necho old client\n";
    LoopbackServer service;
    ServeDownloads(*service.server);
    service.Run();
    struct Case {
        std::string url;
        std::string sha256;
        std::string error;
    };
    const Case cases[] = {
        {service.Url() + "/missing", "", "Download failed: HTTP status 404"},
        {service.Url() + "/cut-with-length", "", "Failed to query data availability"},
        {service.Url() + "/cut-chunked", "", "Failed to query data availability"},
        {service.Url() + "/empty", "", "Download failed: empty body"},
        {service.Url() + "/huge", "", "Download failed: larger than 134217728 bytes"},
        {service.Url() + "/reverseproxy/frpc.exe", std::string(64, '0'),
         "Download failed: SHA-256 mismatch (expected " + std::string(64, '0') + ", got " + Sha256::Of(kClientBytes) + ")"},
        {"127.0.0.1:" + std::to_string(service.port), "", "Invalid URL format"},
        {"https://127.0.0.1:" + std::to_string(service.port), "", "Invalid URL format"},
        {"ftp://127.0.0.1/frpc.exe", "", "Unsupported URL scheme: ftp"},
        // https is really spoken: a plain HTTP server cannot answer it.
        {service.Url("https") + "/reverseproxy/frpc.exe", "", "Failed to send HTTP request"},
    };
    for (const auto& c : cases) {
        WriteFile(frpcPath, previous);
        FRPClientManager manager;
        manager.SetExpectedSha256(c.sha256);
        EXPECT_FALSE(manager.DownloadFrpc(c.url)) << c.url;
        EXPECT_EQ(manager.GetLastError(), c.error) << c.url;
        EXPECT_EQ(ReadFile(frpcPath), previous) << c.url;
        EXPECT_FALSE(fs::exists(frpcPath.string() + ".download")) << c.url;
    }
}

TEST_F(FrpClientTest, DownloadReplacesTheExecutableWhenComplete)
{
    LoopbackServer service;
    ServeDownloads(*service.server);
    service.Run();
    for (const std::string path : {"/reverseproxy/frpc.exe", "/moved"}) {
        WriteFile(frpcPath, "old");
        FRPClientManager manager;
        manager.SetExpectedSha256(Sha256::Of(kClientBytes));
        std::uint64_t lastReceived = 0;
        std::uint64_t lastTotal = 0;
        ASSERT_TRUE(manager.DownloadFrpc(service.Url() + path, nullptr, [&](std::uint64_t received, std::uint64_t total) {
            lastReceived = received;
            lastTotal = total;
        })) << manager.GetLastError();
        EXPECT_EQ(ReadFile(frpcPath), kClientBytes);
        EXPECT_EQ(lastReceived, kClientBytes.size());
        EXPECT_EQ(lastTotal, kClientBytes.size());
        EXPECT_NE(fs::status(frpcPath).permissions() & fs::perms::owner_exec, fs::perms::none);
        EXPECT_TRUE(HasLine("Successfully downloaded frpc.exe (" + std::to_string(kClientBytes.size()) + " bytes) to " +
                            frpcPath.string()));
    }
    // A cancelled download stops and leaves what was there.
    WriteFile(frpcPath, "old");
    std::atomic<bool> cancel{true};
    FRPClientManager manager;
    EXPECT_FALSE(manager.DownloadFrpc(service.Url() + "/reverseproxy/frpc.exe", &cancel));
    EXPECT_EQ(manager.GetLastError(), "Download cancelled");
    EXPECT_EQ(ReadFile(frpcPath), "old");
}

// A loopback TLS server with a certificate made for this test: the download goes over TLS
// and the certificate is checked against the CA file given to the process.
TEST_F(FrpClientTest, HttpsDownloadsOverTls)
{
    fs::create_directories(root);
    auto cert = root / "cert.pem";
    auto key = root / "key.pem";
    std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
                          "-addext subjectAltName=IP:127.0.0.1 -keyout " +
                          key.string() + " -out " + cert.string() + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    LoopbackServer service(std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str()));
    ServeDownloads(*service.server);
    service.Run();

    // Without the test CA the certificate is not trusted.
    WriteFile(frpcPath, "old");
    FRPClientManager manager;
    EXPECT_FALSE(manager.DownloadFrpc(service.Url("https") + "/reverseproxy/frpc.exe"));
    EXPECT_EQ(ReadFile(frpcPath), "old");

    setenv("KESTREL_CA_FILE", cert.c_str(), 1);
    ASSERT_TRUE(manager.DownloadFrpc(service.Url("https") + "/reverseproxy/frpc.exe")) << manager.GetLastError();
    EXPECT_EQ(ReadFile(frpcPath), kClientBytes);
}


// A loopback port that takes connections and never answers them: the server that holds back
// its reply head.
struct SilentServer {
    int sock = socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
    SilentServer()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(sock, 8) == 0 &&
            getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
    }
    ~SilentServer() { close(sock); }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port); }
};

TEST_F(FrpClientTest, AStopEndsAWaitForAReplyThatNeverComes)
{
    SilentServer silent;
    ASSERT_GT(silent.port, 0);
    InstallClient();
    std::atomic<bool> stop{false};
    struct Case {
        const char* name;
        std::function<bool(FRPClientManager&)> run; // true when it ended as a stop should
    };
    const Case cases[] = {
        {"download", [&](FRPClientManager& manager) {
             return !manager.DownloadFrpc(silent.Url() + "/reverseproxy/frpc.exe", &stop) &&
                    manager.GetLastError() == "Download cancelled";
         }},
        {"port request", [&](FRPClientManager& manager) {
             manager.SetPortServiceUrl(silent.Url());
             manager.SetStopCheck([&] { return stop.load(); });
             return manager.Initialize() && !manager.Start(ProxyServer("P", "127.0.0.1", 7000, ""), 7777) &&
                    HasLine("[FRPClientManager ERROR] Port request stopped: the reverse proxy is shutting down");
         }},
    };
    for (const auto& c : cases) {
        stop = false;
        FRPClientManager manager;
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            stop = true;
        });
        const auto started = std::chrono::steady_clock::now();
        EXPECT_TRUE(c.run(manager)) << c.name << ": " << manager.GetLastError();
        // Without the stop it would wait for the time-outs, 30 s or more.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3)) << c.name;
        stopper.join();
    }
    EXPECT_EQ(ReadFile(frpcPath).rfind("#!/bin/sh", 0), 0u); // the installed client stays
}

} // namespace
#endif
