#pragma once
// Runs the tunnel client (frpc) as a hidden child process in a kill-on-close group: asks the
// port service for a public port, writes the client's TOML configuration, starts and stops it,
// and downloads the executable.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "reverseproxy/proxy_server.h"

class FRPClientManager {
public:
    // received and total bytes of a running download; total 0 when the server sent no length.
    using DownloadProgress = std::function<void(std::uint64_t received, std::uint64_t total)>;
    // What the running client prints, one line at a time, and its exit code when it ends on its
    // own (not for a client that Stop ended). Called on a reader thread of the manager.
    struct ProcessCallbacks {
        std::function<void(const std::string& line)> onLine;
        std::function<void(int exitCode)> onExit;
    };

    FRPClientManager();
    ~FRPClientManager(); // Stop(), then closes the process group
    FRPClientManager(const FRPClientManager&) = delete;
    FRPClientManager& operator=(const FRPClientManager&) = delete;

    bool Initialize();
    static bool IsFrpcAvailable();
    bool Start(const ProxyServer& server, std::int32_t localPort);
    bool Stop(); // always true
    // cancel: when it turns true the download stops, failing, and the previous executable stays.
    bool DownloadFrpc(const std::string& url, const std::atomic<bool>* cancel = nullptr,
                      DownloadProgress progress = {});

    void SetProcessCallbacks(ProcessCallbacks callbacks);
    bool IsRunning() const;          // a client started by Start still runs
    std::uint32_t GetProcessId() const; // its process id, 0 when none
    // The port service: a base address ("/get-port" is added) or the full URL of "/get-port".
    void SetPortServiceUrl(const std::string& url);
    // Hex SHA-256 a download must have before it replaces the executable; empty: not checked.
    void SetExpectedSha256(const std::string& hex);
    // Asked while the port service is waited on; true gives the wait up (the owner is stopping).
    void SetStopCheck(std::function<bool()> check) { stopRequested = std::move(check); }
    const std::string& GetLastError() const { return lastError; }
    std::int32_t GetRemotePort() const { return remotePort; }

    // The build's download URL of the executable (path "/reverseproxy/frpc.exe"), below the
    // port service host (KESTREL_PORT_SERVICE_HOST in the environment overrides the build's).
    static std::string DefaultDownloadUrl();

private:
    // The implementation keeps its process, group and reader state here.
    struct Impl;

    static std::string FindFrpcPath();
    std::string GetConfigPath();
    bool GenerateConfig(const ProxyServer& server, std::int32_t localPort);
    std::int32_t FetchRemotePort();
    void SetError(const std::string& message);

    Impl* impl = nullptr;
    std::function<bool()> stopRequested;
    std::string lastError;
    std::string frpcPath;
    std::string configPath;
    std::int32_t remotePort = 0;
};
