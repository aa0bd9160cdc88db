#pragma once
// The plugin object: everything the plugin does is a member of it.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "bakkesmod/plugin/bakkesmodplugin.h"
#include "catalogue/mutator_settings_panel.h"
#include "catalogue/mutators.h"
#include "hosted/hosting_lists.h"
#include "hosted/request_state.h"
#include "hosted/tab_state.h"
#include "hosting/presets/preset_row.h"
#include "hosting/presets/preset_store.h"
#include "hosting/url_option.h"
#include "lobby/lobby_filter.h"
#include "lobby/lobby_row_texts.h"
#include "lobby/lobby_selection.h"
#include "lobby/match_listing.h"
#include "lobby/rllobby_api.h"
#include "plugin/plugin_window_base.h"
#include "reverseproxy/firewall_manager.h"
#include "reverseproxy/frp_client_manager.h"
#include "reverseproxy/ping_manager.h"
#include "reverseproxy/proxy_server.h"
#include "reverseproxy/reverse_proxy_state.h"
#include "reverseproxy/router_port_mapper.h"
#include "reverseproxy/worker.h"

// Owned by a shared pointer (getPlugin, or a test's make_shared): HTTP completions hold it
// weakly and drop their result once the object is gone.
class matchbay : public BakkesMod::Plugin::BakkesModPlugin,
                 public PluginWindowBase,
                 public std::enable_shared_from_this<matchbay> {
public:
    matchbay() = default;
    ~matchbay(); // stops what the reverse proxy still runs
    matchbay(const matchbay&) = delete;
    matchbay& operator=(const matchbay&) = delete;

    void onLoad() override;
    void onUnload() override;

    // Console notifier "kz".
    void HandleConsoleCommand(const std::vector<std::string>& words);
    void HandleLaunchCommand(const std::vector<std::string>& words);

    // Runs once from onLoad: installs the mods folder's maps and returns their names.
    std::vector<std::string> InstallCustomMaps();

    // Local hosting: a LAN listen server, and a private match through the game's matchmaking.
    void requestLocal(const std::string& arena, const std::string& gameMode, const std::string& gameTags,
                      const std::string& networkOptions);
    void RequestPrivateMatch(const std::string& arena, const std::string& gameMode, const std::string& gameTags,
                             const std::string& serverName, const std::string& regionCode, const char* password);

    // Main window.
    void RenderContent() override;
    void RenderKestrelTab();
    void RenderRLBotHostTab();
    void RenderLanHostTab();
    void RenderRocketLeagueTab();
    void RenderLobbyBrowser();
    void RenderReverseProxyPanel();
    void RenderReverseProxySetupGuide();
    void RenderReverseProxyConnectionHelp();
    void RenderRouterLine(bool busy); // the reverse proxy panel's "Router:" line

    // The mutator settings panel over mutatorSelections; labelColumnWidth is the calling tab's own width.
    void RenderMutatorSettings(float& labelColumnWidth) { catalogue::RenderMutatorSettings(mutatorSelections, labelColumnWidth); }
    // Label column widths of the three tabs that draw the mutator panel: independent, and they only grow.
    static inline float hostLanMutatorLabelColumnWidth = catalogue::initialMutatorLabelColumnWidth;
    static inline float rocketLeagueMutatorLabelColumnWidth = catalogue::initialMutatorLabelColumnWidth;
    static inline float kestrelMutatorLabelColumnWidth = catalogue::initialMutatorLabelColumnWidth;

    // The lobby client in force; the console-variable callback may replace it at any time.
    std::shared_ptr<rllobby_api::RLLobbyApi> CurrentLobbyApi() const;

    // Lobby list: Refresh asks the service; the answer replaces lobbyListings.
    void ApiGetMatches();
    MatchListings LobbyListingsSnapshot() const;
    void JoinLobby(const MatchListing& listing);
    // The clicked listing, while the list it was clicked in is still the current one.
    std::optional<MatchListing> SelectedLobby() const;

    // Join by address: the "Join Address" line below the lobby table, and "kz join". Sends the
    // LAN travel command when address and password pass the checks; returns whether it did.
    bool JoinAddress(const std::string& addressText, const std::string& password);
    void RenderJoinAddress();
    void RegisterRecentAddressesCvar();
    std::vector<std::string> RecentAddressesSnapshot() const; // newest first
    struct JoinStatus {
        std::string text; // empty: no line
        bool refused = false;
    };
    JoinStatus JoinAddressStatus() const;
    std::string joinAddressText; // the "##JoinAddress" field (drawing pass)

    // The listen server the last travel command left running; the reverse proxy panel warns
    // while one without a password is reachable.
    std::atomic<hosting::HostedMatch> hostedMatch{hosting::HostedMatch::None};
    void NoteTravel(const std::string& command) { hostedMatch = hosting::HostedMatchOf(command); }

    // Lobby browser state: lives as long as the plugin object, never saved.
    std::string ownLobbyId;      // the id marked " (you)"
    std::string lobbyNameFilter; // "Name filter"
    std::string lobbyMapFilter;  // "map filter"
    std::string lobbyPassword;   // "Password"
    lobby::LobbySelection selectedLobby; // the clicked row; drawing pass only

    // The bot name list. Console, HTTP completion and drawing pass reach it from different
    // threads, so every access goes through these, under botNamesMutex.
    void AppendBotName(std::string name);
    void ReplaceBotNames(std::vector<std::string> names);
    void ClearBotNames();
    std::vector<std::string> BotNamesSnapshot() const;
    std::uint64_t BotNameCount() const;

    // ---- Hosted servers (hosted/): hosting lists, server requests, server controls ----
    // The two start-up requests of onLoad, and their handlers (host HTTP thread).
    void SendServerListRequest();
    void SendBotListRequest();
    void OnServerListResponse(int status, const std::string& body);
    void OnBotListResponse(int status, const std::string& body);
    // Shows empty details until the answer; only the answer to the last fetch is shown.
    void FetchBotDetails(const std::string& name);
    // fetch: the number FetchBotDetails gave the request (BotDetails::fetch).
    void OnBotDetailsResponse(std::uint64_t fetch, int status, const std::string& body);
    std::shared_ptr<const hosted::ServerList> ServerListSnapshot() const { return hostingLists.servers.Get(); }
    bool ServerListLoaded() const { return !ServerListSnapshot()->serverEndpoints.empty(); }
    std::shared_ptr<const hosted::BotVersions> BotVersionsSnapshot() const { return hostingLists.botVersions.Get(); }
    std::shared_ptr<const hosted::BotDetails> BotDetailsSnapshot() const { return hostingLists.botDetails.Get(); }

    // endpoint: the location the server was requested from (ip:port); empty shows an error instead.
    void RenderServerControls(const std::string& endpoint, int port, const std::vector<std::string>& players);
    void CollectOnlinePlayerNames(std::vector<std::string>& players);
    void JoinHostedServer(const std::string& address, int port);
    static inline int gameSpeedValue = 100; // the "##GameSpeed" field, shared by both tabs

    hosted::KestrelTabState kestrelTab;
    hosted::RLBotHostTabState rlbotTab;
    std::shared_ptr<hosted::HostedRequestState> kestrelRequest = std::make_shared<hosted::HostedRequestState>();
    std::shared_ptr<hosted::HostedRequestState> rlbotRequest = std::make_shared<hosted::HostedRequestState>();
    hosted::WorkerGate hostedWorkers; // the plugin's end waits briefly for running request workers

    // ---- Match presets (hosting/presets/): saved setups and the setup line, in the three match tabs ----
    enum class SetupTab { HostLan, RocketLeague, Kestrel };
    // The preset row, which each of those tabs draws just above its mutator panel.
    void RenderPresetRow(SetupTab tab);
    // "kz preset list|save|load|delete" and "kz setup [line]", on the Host Lan tab's setup.
    void HandlePresetCommand(const std::vector<std::string>& words);
    void HandleSetupCommand(const std::vector<std::string>& words);
    // Guards the three tabs' choices, mutatorSelections and the presets: the drawing pass holds it while it draws
    // those tabs, a console command while it reads or sets them.
    std::mutex matchSetupMutex;
    hosting::PresetStore presetStore;
    std::array<hosting::PresetRowState, 3> presetRows; // by SetupTab

    // ---- Reverse proxy (reverseproxy/): controller, managers, panel state ----
    void InitializeReverseProxy();
    void CleanupReverseProxy();
    void RegisterReverseProxyCvars();
    void LoadProxyServerList();
    void FetchProxyServerListFromHTTP();
    void OnProxyServerListResponse(int code, const std::string& body);
    void ParseProxyServerList(const std::string& body);
    static std::string ExtractJsonValue(const std::string& objectText, const std::string& key);
    void AddStatusLog(const std::string& message, LogLevel level);
    // These wait on the network or another process, so they are queued on the reverse proxy
    // worker and return at once; their results arrive as status entries and state changes.
    void SelectBestServer();
    void ConnectToServer(std::int32_t index);
    void DisconnectFromServer();
    void CreateFirewallRuleWithElevation();
    void RemoveFirewallRuleWithElevation();
    void StartFrpcDownload();
    // Stops a running download; the executable already there stays.
    void CancelFrpcDownload();
    bool DownloadCancelRequested() const { return downloadCancel.load(); }
    // Checks on the worker that a datagram sent to the public address comes back in through
    // the tunnel to rp_rl_port; the outcome is a status entry.
    void TestReachability();
    // Puts "address:port" of the tunnel on ImGui's clipboard (drawing pass).
    void CopyPublicAddress();
    // The state the panel shows: Connecting also while a connect waits its turn on the worker.
    ConnectionStatus DisplayedConnectionStatus() const;
    // An operation runs or waits on the worker: the buttons that would queue another are disabled.
    bool ReverseProxyBusy() const { return reverseProxyWorker.Busy(); }
    // Until every reverse proxy operation queued so far is done (tests, benchmarks, scripts).
    bool WaitForReverseProxyIdle(std::chrono::milliseconds timeout);
    std::vector<ProxyServer> ProxyServersSnapshot() const;
    std::deque<StatusLogEntry> StatusLogSnapshot() const;
    std::pair<std::string, std::int32_t> ConnectionSnapshot() const;

    std::unique_ptr<FirewallManager> firewallManager;   // worker only, once created
    std::unique_ptr<PingManager> pingManager;           // under pingManagerMutex
    std::unique_ptr<FRPClientManager> frpClientManager; // under frpClientMutex once created
    std::vector<ProxyServer> proxyServers;              // in document order
    mutable std::mutex serverListMutex;
    std::atomic<ConnectionStatus> connectionStatus{ConnectionStatus::Disconnected};
    std::atomic<FirewallStatus> firewallStatus{FirewallStatus::Checking};
    std::string connectedAddress; // empty while disconnected
    std::int32_t connectedPort = 0; // public port on the proxy, 0 while disconnected
    mutable std::mutex connectionMutex;
    std::deque<StatusLogEntry> statusLog; // at most 10, oldest first
    mutable std::mutex statusLogMutex;
    std::atomic<bool> showDownloadPrompt{false};
    std::atomic<bool> isDownloading{false};
    std::string downloadError;
    // Progress of the running download; total 0 when the server sent no length.
    std::atomic<std::uint64_t> downloadReceived{0};
    std::atomic<std::uint64_t> downloadTotal{0};
    mutable std::mutex downloadMutex;
    bool showSetupGuide = false;     // drawing pass only
    bool showConnectionHelp = false; // drawing pass only
    // The wait before an auto-connect at start-up, so a quick list answer is in.
    std::chrono::milliseconds autoConnectDelay{2000};
    // How long a started tunnel client may take to report its proxy before the connect fails.
    std::chrono::milliseconds tunnelConfirmTimeout{10000};
    // How long the reachability test waits for its datagram to come back.
    std::chrono::milliseconds reachabilityWait{2000};
    // Where a missing tunnel client is downloaded from (the "Source: " line shows it too).
    std::string frpcDownloadUrl;
    // Makes the firewall manager on the worker; empty: the platform's own. Tests script one here.
    std::function<std::unique_ptr<FirewallManager>()> makeFirewallManager;

    // The direct path through the home router (router_port.cpp). Queued on the worker like the
    // tunnel's operations. MakeReachable tries the router, then the best proxy when the router
    // cannot let players in.
    void OpenRouterPort();
    void CloseRouterPort();
    void MakeReachable();
    // Puts the router's "address:port" on ImGui's clipboard (drawing pass).
    void CopyDirectAddress();
    reverse_proxy::RouterLine RouterSnapshot() const { return routerPortMapper.Snapshot(); }
    // Makes the router client on the worker; empty: miniupnpc, restricted to the interface the
    // host names in KESTREL_UPNP_INTERFACE. Tests script one here.
    std::function<std::unique_ptr<platform::PortMapping>()> makePortMapping;
    // A fallback to the tunnel found no firewall rule: the next frame opens "Firewall Not Ready".
    std::atomic<bool> firewallNotReadyFromWorker{false};

private:
    void ReplaceLobbyApi(std::shared_ptr<rllobby_api::RLLobbyApi> api);

    std::shared_ptr<std::string> lobbyEndpoint;            // kzlobby_endpoint, kept current by the host
    mutable std::mutex lobbyApiMutex;
    std::shared_ptr<rllobby_api::RLLobbyApi> lobbyApi;     // replaced on every kzlobby_endpoint change

    mutable std::mutex lobbyListingsMutex;
    MatchListings lobbyListings = std::make_shared<const std::vector<MatchListing>>(); // last list received

    void SetJoinAddressStatus(std::string text, bool refused);
    void OnRecentAddressesChanged(const std::string& value);
    mutable std::mutex joinAddressMutex;      // the two below: the console joins from the game thread
    std::vector<std::string> recentAddresses; // newest first, at most five; kz_recent_addresses saves them
    JoinStatus joinAddressStatus;

    lobby::LobbyFilterCache lobbyFilterCache; // drawing pass only
    lobby::LobbyRowTextCache lobbyRowTextCache; // drawing pass only

    hosted::HostingLists hostingLists;
    std::atomic<std::uint64_t> botDetailsFetches{0}; // FetchBotDetails calls so far

    mutable std::mutex botNamesMutex;
    std::vector<std::string> botNames; // bot names offered by the bot match tab; BotNameCount() is its size

    // Reverse proxy internals (reverseproxy/): the worker runs every *Now operation.
    void InitializeReverseProxyNow(bool autoConnect);
    void SelectBestServerNow();
    void ConnectToServerNow(std::int32_t index);
    void DisconnectFromServerNow();
    void CreateFirewallRuleNow();
    void RemoveFirewallRuleNow();
    void CheckFirewallAtStartNow();
    void OnTunnelLine(std::uint64_t generation, const std::string& line);
    void OnTunnelExit(std::uint64_t generation, int exitCode);
    void OnTunnelTimeout(std::uint64_t generation);
    void FailTunnel(const std::string& reason);
    void ConfirmTunnel();
    void RunFrpcDownload(std::string url);
    void TestReachabilityNow();
    void StopReverseProxyThreads();
    reverse_proxy::RouterState OpenRouterPortNow();
    void CloseRouterPortNow();
    void MakeReachableNow();
    void ScheduleRouterRenewal();

    mutable std::mutex pingManagerMutex;
    bool reverseProxyStopping = false; // under pingManagerMutex: no ping manager starts any more
    mutable std::mutex frpClientMutex; // the download thread and the worker share the manager
    std::atomic<int> connectsQueued{0};
    // The tunnel being watched (worker only): its number, so a previous one's output is ignored.
    std::uint64_t tunnelGeneration = 0;
    std::int32_t tunnelServerIndex = -1;
    std::string tunnelServerName;
    std::atomic<bool> downloadCancel{false};
    std::thread downloadThread;
    reverse_proxy::RouterPortMapper routerPortMapper{
        [this] {
            return makePortMapping ? makePortMapping()
                                   : platform::CreatePortMapping(platform::PortMappingInterfaceFromEnvironment());
        },
        [this](const std::string& message, LogLevel level) { AddStatusLog(message, level); }};
    // Last, so it stops before the members its tasks use go away.
    reverse_proxy::Worker reverseProxyWorker;

public:
    MutatorSelections mutatorSelections; // category label -> option index, shared by the tabs
};
