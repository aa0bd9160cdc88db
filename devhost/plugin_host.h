#pragma once
// A plugin's life in the host: loading it and wiring its handles, onLoad on the game
// thread, and the unload that makes sure nothing calls into the library once it closes.
#include <filesystem>
#include <memory>
#include <string>

#include "console/console.h"
#include "frontend/draw_state.h"
#include "sim/game_sim.h"
#include "sim/game_thread.h"
#include "services/http_service.h"
#include "plugin_loader.h"

class CVarManagerWrapper;
class GameWrapper;

namespace devhost {

class PluginHost {
public:
    PluginHost(DevConsole& console, GameThread& gameThread, GameSim& game, CurlHttpService& http, DrawState& draw);
    ~PluginHost();

    // Returns false (with a message printed) when the library is refused.
    bool load(const std::filesystem::path& path);
    // name may be empty: the loaded plugin, whatever its class. False when none matches.
    bool unload(const std::string& name);
    bool loaded() const { return library != nullptr; }
    std::string describe() const;

private:
    DevConsole& console;
    GameThread& gameThread;
    GameSim& game;
    CurlHttpService& http;
    DrawState& draw;
    std::unique_ptr<PluginLibrary> library;
    std::shared_ptr<CVarManagerWrapper> cvarManager;
    std::shared_ptr<GameWrapper> gameWrapper;
};

} // namespace devhost
