// Connecting to a proxy server, watching the tunnel until it is confirmed and while it runs,
// and disconnecting.
#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"
#include "reverseproxy/tunnel_output.h"

void matchbay::ConnectToServer(std::int32_t index)
{
    ++connectsQueued;
    reverseProxyWorker.Post([this, index] {
        ConnectToServerNow(index);
        --connectsQueued;
    });
}

void matchbay::DisconnectFromServer()
{
    reverseProxyWorker.Post([this] { DisconnectFromServerNow(); });
}

void matchbay::ConnectToServerNow(std::int32_t index)
{
    ProxyServer server;
    {
        std::lock_guard<std::mutex> lock(serverListMutex);
        if (index < 0 || static_cast<size_t>(index) >= proxyServers.size()) {
            AddStatusLog("Invalid server index", LogLevel::Error);
            return;
        }
        server = proxyServers[static_cast<size_t>(index)];
    }
    {
        std::lock_guard<std::mutex> lock(frpClientMutex);
        if (!frpClientManager) {
            AddStatusLog("FRP manager not initialized", LogLevel::Error);
            return;
        }
    }
    // A half-written executable must not be started.
    if (isDownloading) {
        AddStatusLog("Download in progress", LogLevel::Warning);
        return;
    }
    if (!FRPClientManager::IsFrpcAvailable()) {
        AddStatusLog("frpc.exe not found", LogLevel::Warning);
        showDownloadPrompt = true;
        return;
    }
    if (connectionStatus != ConnectionStatus::Disconnected) {
        DisconnectFromServerNow();
        if (!reverseProxyWorker.SleepFor(std::chrono::milliseconds(500))) {
            return;
        }
    }

    AddStatusLog("Connecting to " + server.name + "...", LogLevel::Info);
    connectionStatus = ConnectionStatus::Connecting;
    CVarWrapper portCvar = cvarManager->getCvar("rp_rl_port");
    const std::int32_t localPort = portCvar.IsNull() ? 7777 : portCvar.getIntValue();

    const std::uint64_t generation = ++tunnelGeneration;
    tunnelServerIndex = index;
    tunnelServerName = server.name;
    bool started = false;
    std::string error;
    {
        std::lock_guard<std::mutex> lock(frpClientMutex);
        // The client's output and exit come on the manager's reader thread; the worker handles
        // them in turn, and drops those of a tunnel that is no longer the current one.
        FRPClientManager::ProcessCallbacks callbacks;
        callbacks.onLine = [this, generation](const std::string& line) {
            reverseProxyWorker.Post([this, generation, line] { OnTunnelLine(generation, line); });
        };
        callbacks.onExit = [this, generation](int exitCode) {
            reverseProxyWorker.Post([this, generation, exitCode] { OnTunnelExit(generation, exitCode); });
        };
        frpClientManager->SetProcessCallbacks(std::move(callbacks));
        started = frpClientManager->Start(server, localPort);
        if (!started) {
            error = frpClientManager->GetLastError();
        }
    }
    if (!started) {
        ++tunnelGeneration;
        connectionStatus = ConnectionStatus::Error;
        AddStatusLog("Failed to connect: " + error, LogLevel::Error);
        return;
    }
    // Started is not connected: the client still has to log in and get its proxy.
    reverseProxyWorker.PostAt(reverse_proxy::Worker::Clock::now() + tunnelConfirmTimeout,
                              [this, generation] { OnTunnelTimeout(generation); });
}

void matchbay::OnTunnelLine(std::uint64_t generation, const std::string& line)
{
    if (generation != tunnelGeneration) {
        return;
    }
    const reverse_proxy::TunnelLine seen = reverse_proxy::ClassifyTunnelLine(line);
    if (seen.kind == reverse_proxy::TunnelLine::Kind::ProxyStarted &&
        connectionStatus == ConnectionStatus::Connecting) {
        ConfirmTunnel();
    } else if (seen.kind == reverse_proxy::TunnelLine::Kind::Failure) {
        FailTunnel(seen.reason);
    }
}

void matchbay::OnTunnelExit(std::uint64_t generation, int exitCode)
{
    if (generation == tunnelGeneration) {
        FailTunnel(reverse_proxy::TunnelExitReason(exitCode));
    }
}

void matchbay::OnTunnelTimeout(std::uint64_t generation)
{
    if (generation == tunnelGeneration && connectionStatus == ConnectionStatus::Connecting) {
        FailTunnel(reverse_proxy::TunnelTimeoutReason(tunnelConfirmTimeout));
    }
}

void matchbay::ConfirmTunnel()
{
    std::int32_t remotePort = 0;
    {
        std::lock_guard<std::mutex> lock(frpClientMutex);
        remotePort = frpClientManager ? frpClientManager->GetRemotePort() : 0;
    }
    std::string address;
    {
        std::lock_guard<std::mutex> lock(serverListMutex);
        for (size_t i = 0; i < proxyServers.size(); ++i) {
            proxyServers[i].isConnected = static_cast<std::int32_t>(i) == tunnelServerIndex;
        }
        if (tunnelServerIndex >= 0 && static_cast<size_t>(tunnelServerIndex) < proxyServers.size()) {
            address = proxyServers[static_cast<size_t>(tunnelServerIndex)].address;
        }
    }
    {
        std::lock_guard<std::mutex> lock(connectionMutex);
        connectedAddress = address;
        connectedPort = remotePort;
    }
    connectionStatus = ConnectionStatus::Connected;
    AddStatusLog("Connected to " + tunnelServerName, LogLevel::Success);
    CVarWrapper selected = cvarManager->getCvar("rp_selected_server");
    if (!selected.IsNull()) {
        selected.setValue(static_cast<int>(tunnelServerIndex));
    }
}

void matchbay::FailTunnel(const std::string& reason)
{
    const ConnectionStatus before = connectionStatus.load();
    if (before != ConnectionStatus::Connecting && before != ConnectionStatus::Connected) {
        return;
    }
    // Whatever is left of the client goes, so it does not keep retrying behind an Error.
    ++tunnelGeneration;
    {
        std::lock_guard<std::mutex> lock(frpClientMutex);
        if (frpClientManager) {
            frpClientManager->Stop();
        }
    }
    {
        std::lock_guard<std::mutex> lock(serverListMutex);
        for (ProxyServer& server : proxyServers) {
            server.isConnected = false;
        }
    }
    {
        std::lock_guard<std::mutex> lock(connectionMutex);
        connectedAddress.clear();
        connectedPort = 0;
    }
    connectionStatus = ConnectionStatus::Error;
    AddStatusLog((before == ConnectionStatus::Connected ? "Tunnel lost: " : "Failed to connect: ") + reason,
                 LogLevel::Error);
}

void matchbay::DisconnectFromServerNow()
{
    if (connectionStatus == ConnectionStatus::Disconnected) {
        return;
    }
    AddStatusLog("Disconnecting...", LogLevel::Info);
    ++tunnelGeneration;
    {
        std::lock_guard<std::mutex> lock(frpClientMutex);
        if (frpClientManager) {
            frpClientManager->Stop();
        }
    }
    connectionStatus = ConnectionStatus::Disconnected;
    {
        std::lock_guard<std::mutex> lock(connectionMutex);
        connectedAddress.clear();
        connectedPort = 0;
    }
    std::lock_guard<std::mutex> lock(serverListMutex);
    for (ProxyServer& server : proxyServers) {
        server.isConnected = false;
    }
    AddStatusLog("Disconnected", LogLevel::Info);
}
