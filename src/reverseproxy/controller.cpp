// The reverse proxy's start-up and shutdown, its console variables and the choice of server.
#include <kestrel/build_config.h>

#include <limits>

#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"
#include "reverseproxy/firewall_rule.h"

matchbay::~matchbay() { StopReverseProxyThreads(); }

void matchbay::RegisterReverseProxyCvars()
{
    cvarManager->registerCvar("rp_auto_connect", "0", "Auto-connect to best server on startup", true, true, 0, true, 1,
                              true);
    cvarManager->registerCvar("rp_selected_server", "-1", "Last selected server index", true, true, -1, true, 2, true);
    cvarManager->registerCvar("rp_rl_port", "7777", "Rocket League server port", true, true, 1024, true, 65535, true);
    cvarManager->registerCvar("rp_server_list_url", KESTREL_PROXY_LIST_URL, "URL to fetch proxy server list from", true,
                              false, 0, false, 0, true);
    LogLine("ReverseProxy CVars registered");
}

void matchbay::InitializeReverseProxy()
{
    LogLine("ReverseProxy: Initializing...");
    connectionStatus = ConnectionStatus::Disconnected;
    firewallStatus = FirewallStatus::Checking;
    {
        std::lock_guard<std::mutex> lock(connectionMutex);
        connectedAddress.clear();
        connectedPort = 0;
    }
    showDownloadPrompt = false;
    isDownloading = false;
    {
        std::lock_guard<std::mutex> lock(downloadMutex);
        downloadError.clear();
    }
    showSetupGuide = false;
    showConnectionHelp = false;
    frpcDownloadUrl = FRPClientManager::DefaultDownloadUrl();
    {
        std::lock_guard<std::mutex> lock(pingManagerMutex);
        reverseProxyStopping = false;
    }
    downloadCancel = false;
    connectsQueued = 0;
    reverseProxyWorker.Start();

    RegisterReverseProxyCvars();
    LoadProxyServerList();
    AddStatusLog("Plugin initialized", LogLevel::Info);

    // The firewall checks may wait on netsh and the auto-connect waits for the list: both go to
    // the worker, so onLoad returns at once.
    CVarWrapper autoConnect = cvarManager->getCvar("rp_auto_connect");
    const bool wantAutoConnect = !autoConnect.IsNull() && autoConnect.getBoolValue();
    if (wantAutoConnect) {
        ++connectsQueued;
    }
    reverseProxyWorker.Post([this, wantAutoConnect] { InitializeReverseProxyNow(wantAutoConnect); });
    LogLine("ReverseProxy: Ready!");
}

void matchbay::InitializeReverseProxyNow(bool autoConnect)
{
    CheckFirewallAtStartNow();

    {
        std::lock_guard<std::mutex> lock(frpClientMutex);
        frpClientManager = std::make_unique<FRPClientManager>();
        // Checked on this worker only, while the connect waits for its port.
        frpClientManager->SetStopCheck([this] { return reverseProxyWorker.Stopping(); });
        if (frpClientManager->Initialize()) {
            AddStatusLog("FRP client manager initialized", LogLevel::Success);
        } else {
            AddStatusLog("Failed to initialize FRP manager: " + frpClientManager->GetLastError(), LogLevel::Error);
        }
    }

    if (autoConnect) {
        AddStatusLog("Auto-connect enabled, selecting best server...", LogLevel::Info);
        if (reverseProxyWorker.SleepFor(autoConnectDelay)) {
            SelectBestServerNow();
        }
        --connectsQueued;
    }
}

void matchbay::CheckFirewallAtStartNow()
{
    // Created here, on the worker, which is the only thread that uses it.
    firewallManager.reset();
    firewallManager = makeFirewallManager ? makeFirewallManager() : std::make_unique<FirewallManager>();
    if (!firewallManager->Initialize()) {
        firewallStatus = FirewallStatus::Error;
        AddStatusLog("Failed to initialize firewall manager", LogLevel::Error);
        return;
    }
    AddStatusLog("Firewall manager initialized", LogLevel::Success);
    if (firewallManager->RuleExists(reverse_proxy::firewallRuleName)) {
        firewallStatus = FirewallStatus::Ready;
        AddStatusLog("Firewall rule exists", LogLevel::Success);
    } else if (FirewallManager::IsRunningAsAdmin()) {
        if (firewallManager->CreateInboundRule(reverse_proxy::firewallRuleName,
                                               reverse_proxy::firewallRuleDescription)) {
            firewallStatus = FirewallStatus::Ready;
            AddStatusLog("Firewall rule created successfully", LogLevel::Success);
        } else {
            firewallStatus = FirewallStatus::Error;
            AddStatusLog("Failed to create firewall rule", LogLevel::Error);
        }
    } else {
        firewallStatus = FirewallStatus::NeedsAdmin;
        AddStatusLog("Firewall rule needed - run as admin to create", LogLevel::Warning);
    }
}

void matchbay::CleanupReverseProxy()
{
    LogLine("ReverseProxy: Cleaning up...");
    // A download must not finish into a plugin that is going away; its partial file is dropped.
    downloadCancel = true;
    if (downloadThread.joinable()) {
        downloadThread.join();
    }
    // Queued operations are dropped; the one running finishes (the manager's own time-outs
    // bound it), then the shutdown runs on the worker, where the managers live.
    reverseProxyWorker.Stop();
    connectsQueued = 0;
    reverseProxyWorker.Start();
    reverseProxyWorker.Post([this] {
        DisconnectFromServerNow();
        // The router keeps a mapping past our end (a permanent one for ever): it goes now.
        // miniupnpc's socket time-outs bound the call.
        CloseRouterPortNow();
        {
            std::lock_guard<std::mutex> lock(pingManagerMutex);
            reverseProxyStopping = true;
            if (pingManager) {
                pingManager->Stop();
                pingManager.reset();
            }
        }
        {
            std::lock_guard<std::mutex> lock(frpClientMutex);
            frpClientManager.reset();
        }
        firewallManager.reset();
    });
    reverseProxyWorker.WaitIdle(std::chrono::hours(1));
    reverseProxyWorker.Stop();
    AddStatusLog("Plugin unloaded", LogLevel::Info);
    LogLine("ReverseProxy: Cleanup complete");
}

void matchbay::StopReverseProxyThreads()
{
    downloadCancel = true;
    if (downloadThread.joinable()) {
        downloadThread.join();
    }
    reverseProxyWorker.Stop();
    {
        std::lock_guard<std::mutex> lock(pingManagerMutex);
        reverseProxyStopping = true;
        if (pingManager) {
            pingManager->Stop();
            pingManager.reset();
        }
    }
    // The client's reader threads end with the manager, before the worker they post to is gone.
    std::lock_guard<std::mutex> lock(frpClientMutex);
    frpClientManager.reset();
}

void matchbay::SelectBestServer()
{
    ++connectsQueued;
    reverseProxyWorker.Post([this] {
        SelectBestServerNow();
        --connectsQueued;
    });
}

void matchbay::SelectBestServerNow()
{
    std::int32_t bestIndex = -1;
    {
        std::lock_guard<std::mutex> lock(serverListMutex);
        if (proxyServers.empty()) {
            AddStatusLog("No servers configured", LogLevel::Error);
            return;
        }
        std::int32_t bestLatency = std::numeric_limits<std::int32_t>::max();
        for (size_t i = 0; i < proxyServers.size(); ++i) {
            const std::int32_t latency = proxyServers[i].latency.load();
            if (latency >= 0 && latency < bestLatency) {
                bestLatency = latency;
                bestIndex = static_cast<std::int32_t>(i);
            }
        }
        if (bestIndex >= 0) {
            AddStatusLog("Selected " + proxyServers[static_cast<size_t>(bestIndex)].name +
                             " (latency: " + std::to_string(bestLatency) + "ms)",
                         LogLevel::Success);
        } else {
            AddStatusLog("No ping results yet, using first server", LogLevel::Warning);
            bestIndex = 0;
        }
    }
    // Released first: the connect takes the list lock itself and waits on the network.
    ConnectToServerNow(bestIndex);
}

ConnectionStatus matchbay::DisplayedConnectionStatus() const
{
    const ConnectionStatus status = connectionStatus.load();
    if (status == ConnectionStatus::Disconnected && connectsQueued.load() > 0) {
        return ConnectionStatus::Connecting;
    }
    return status;
}

bool matchbay::WaitForReverseProxyIdle(std::chrono::milliseconds timeout)
{
    return reverseProxyWorker.WaitIdle(timeout);
}

std::pair<std::string, std::int32_t> matchbay::ConnectionSnapshot() const
{
    std::lock_guard<std::mutex> lock(connectionMutex);
    return {connectedAddress, connectedPort};
}
