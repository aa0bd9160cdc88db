// onLoad and onUnload: wiring the plugin into the host and out again.
#include <kestrel/build_config.h>

#include <iostream>

#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "hosting/custom_map_installer.h"
#include "hosting/custom_map_names.h"
#include "platform/folders.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

void matchbay::onLoad()
{
    globalCvarManager = cvarManager;

    cvarManager->setBind("F8", "togglemenu matchbay");
    cvarManager->registerNotifier(
        "kz", [this](std::vector<std::string> words) { HandleConsoleCommand(words); },
        "Parses commands to interact with Kestrel.", 0);

    customMapNames = InstallCustomMaps();

    lobbyEndpoint = std::make_shared<std::string>();
    CVarWrapper endpointCvar =
        cvarManager->registerCvar("kzlobby_endpoint", KESTREL_LOBBY_ENDPOINT, "", true, false, 0, false, 0, true);
    endpointCvar.addOnValueChanged([this](std::string, CVarWrapper cvar) {
        ReplaceLobbyApi(std::make_shared<rllobby_api::RLLobbyApi>(cvar.getStringValue()));
    });
    endpointCvar.bindTo(lobbyEndpoint);
    Log("endpoint: {}", *lobbyEndpoint);
    ReplaceLobbyApi(std::make_shared<rllobby_api::RLLobbyApi>(std::string(*lobbyEndpoint)));
    RegisterRecentAddressesCvar();

    SendServerListRequest();
    SendBotListRequest();

    // Last: the reverse proxy; its waiting work goes to its own worker.
    InitializeReverseProxy();
}

std::vector<std::string> matchbay::InstallCustomMaps()
{
    return hosting::InstallCustomMaps(platform::WorkingDirectory(), std::cout, std::cerr);
}

void matchbay::onUnload()
{
    ClearBotNames();

    // Last: the reverse proxy, which cancels its download and waits for its worker.
    CleanupReverseProxy();
}

std::shared_ptr<rllobby_api::RLLobbyApi> matchbay::CurrentLobbyApi() const
{
    std::lock_guard<std::mutex> lock(lobbyApiMutex);
    return lobbyApi;
}

void matchbay::ReplaceLobbyApi(std::shared_ptr<rllobby_api::RLLobbyApi> api)
{
    std::shared_ptr<rllobby_api::RLLobbyApi> previous;
    std::lock_guard<std::mutex> lock(lobbyApiMutex);
    previous.swap(lobbyApi);
    lobbyApi = std::move(api);
}
