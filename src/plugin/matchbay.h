#pragma once
// The plugin object: everything the plugin does is a member of it.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "bakkesmod/plugin/bakkesmodplugin.h"
#include "catalogue/mutator_settings_panel.h"
#include "catalogue/mutators.h"
#include "hosted/hosting_lists.h"
#include "hosted/request_state.h"
#include "hosted/tab_state.h"
#include "lobby/lobby_filter.h"
#include "lobby/lobby_row_texts.h"
#include "lobby/match_listing.h"
#include "lobby/rllobby_api.h"
#include "plugin/plugin_window_base.h"

// Owned by a shared pointer (getPlugin, or a test's make_shared): HTTP completions hold it
// weakly and drop their result once the object is gone.
class matchbay : public BakkesMod::Plugin::BakkesModPlugin,
                 public PluginWindowBase,
                 public std::enable_shared_from_this<matchbay> {
public:
    matchbay() = default;
    ~matchbay() = default;
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
    // The listing whose id is selected, from the current list; none when it is gone.
    std::optional<MatchListing> SelectedLobby() const;
    bool IsSelectedLobby(const MatchListing& listing) const;

    // Lobby browser state: lives as long as the plugin object, never saved.
    std::string ownLobbyId;      // the id marked " (you)"
    std::string lobbyNameFilter; // "Name filter"
    std::string lobbyMapFilter;  // "map filter"
    std::string lobbyPassword;   // "Password"
    std::string selectedLobbyId; // empty: nothing selected

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
    void FetchBotDetails(const std::string& name);
    void OnBotDetailsResponse(int status, const std::string& body);
    std::shared_ptr<const hosted::ServerList> ServerListSnapshot() const { return hostingLists.servers.Get(); }
    bool ServerListLoaded() const { return !ServerListSnapshot()->serverEndpoints.empty(); }
    std::shared_ptr<const hosted::BotVersions> BotVersionsSnapshot() const { return hostingLists.botVersions.Get(); }
    std::shared_ptr<const hosted::BotDetails> BotDetailsSnapshot() const { return hostingLists.botDetails.Get(); }

    void RenderServerControls(int serverIndex, int port, const std::vector<std::string>& players);
    void CollectOnlinePlayerNames(std::vector<std::string>& players);
    void JoinHostedServer(const std::string& address, int port);
    static inline int gameSpeedValue = 100; // the "##GameSpeed" field, shared by both tabs

    hosted::KestrelTabState kestrelTab;
    hosted::RLBotHostTabState rlbotTab;
    std::shared_ptr<hosted::HostedRequestState> kestrelRequest = std::make_shared<hosted::HostedRequestState>();
    std::shared_ptr<hosted::HostedRequestState> rlbotRequest = std::make_shared<hosted::HostedRequestState>();
    hosted::WorkerGate hostedWorkers; // the plugin's end waits briefly for running request workers

    // ---- Reverse proxy (reverseproxy/): controller, managers, panel state ----

private:
    void ReplaceLobbyApi(std::shared_ptr<rllobby_api::RLLobbyApi> api);

    std::shared_ptr<std::string> lobbyEndpoint;            // kzlobby_endpoint, kept current by the host
    mutable std::mutex lobbyApiMutex;
    std::shared_ptr<rllobby_api::RLLobbyApi> lobbyApi;     // replaced on every kzlobby_endpoint change

    mutable std::mutex lobbyListingsMutex;
    MatchListings lobbyListings = std::make_shared<const std::vector<MatchListing>>(); // last list received

    lobby::LobbyFilterCache lobbyFilterCache; // drawing pass only
    lobby::LobbyRowTextCache lobbyRowTextCache; // drawing pass only

    hosted::HostingLists hostingLists;

    mutable std::mutex botNamesMutex;
    std::vector<std::string> botNames; // bot names offered by the bot match tab; BotNameCount() is its size

public:
    MutatorSelections mutatorSelections; // category label -> option index, shared by the tabs
};
