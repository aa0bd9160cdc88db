#include "plugin_host.h"

#include <chrono>

#include "bakkesmod/plugin/pluginwindow.h"
#include "bakkesmod/wrappers/GameWrapper.h"
#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "output.h"

namespace devhost {

PluginHost::PluginHost(DevConsole& console, GameThread& gameThread, GameSim& game, CurlHttpService& http,
                       DrawState& draw)
    : console(console), gameThread(gameThread), game(game), http(http), draw(draw)
{
}

PluginHost::~PluginHost()
{
    if (library) unload("");
}

bool PluginHost::load(const std::filesystem::path& path)
{
    if (library) {
        HostMessage("plugin " + library->className() + " is already loaded; unload it first");
        return false;
    }
    std::string error;
    auto opened = PluginLibrary::open(path, error);
    if (!opened) {
        HostMessage(error);
        return false;
    }
    auto plugin = opened->plugin();
    cvarManager = std::make_shared<CVarManagerWrapper>(&console);
    gameWrapper = std::make_shared<GameWrapper>(&game);
    plugin->cvarManager = cvarManager;
    plugin->gameWrapper = gameWrapper;
    library = std::move(opened);

    gameThread.accept(true);
    http.resume();
    gameThread.runAndWait([plugin] { plugin->onLoad(); });

    if (auto* window = dynamic_cast<BakkesMod::Plugin::PluginWindow*>(plugin.get())) {
        draw.setWindow(window, window->MenuName());
    }
    HostMessage("loaded " + library->className() + " (" + library->info().pluginName + " " +
                library->info().pluginVersion + ") from " + path.string());
    return true;
}

bool PluginHost::unload(const std::string& name)
{
    if (!library || (!name.empty() && name != library->className())) {
        HostMessage(name.empty() ? "no plugin is loaded" : "no plugin named " + name + " is loaded");
        return false;
    }
    const std::string className = library->className();
    const auto started = std::chrono::steady_clock::now();
    // The order matters: each step stops one way into the library before it closes.
    draw.clearWindow();
    auto plugin = library->plugin();
    // Refusing and dropping happen in the same game-thread task as onUnload: otherwise the
    // thread could pick up a task posted meanwhile and run it while the library closes.
    size_t dropped = 0;
    gameThread.runAndWait([&] {
        plugin->onUnload();
        gameThread.accept(false);
        dropped = gameThread.discardQueued();
    });
    if (dropped) HostMessage("dropped " + std::to_string(dropped) + " game tasks posted during unload");
    http.cancelAll("the plugin is being unloaded");
    plugin.reset();
    library->release();
    console.dropPluginState();
    cvarManager.reset();
    gameWrapper.reset();
    library.reset(); // dlclose
    gameThread.accept(true);
    http.resume();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    HostMessage("unloaded " + className + " in " + std::to_string(took.count()) + " ms");
    return true;
}

std::string PluginHost::describe() const
{
    if (!library) return "no plugin loaded";
    return library->className() + " (" + library->info().pluginName + " " + library->info().pluginVersion +
           ", API " + std::to_string(library->info().apiBuildVersion) + ") from " + library->path().string();
}

} // namespace devhost
