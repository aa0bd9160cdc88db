#pragma once
// The plugin contract: the base class a plugin derives from, the registration record the
// host reads from the library, and the macro that defines the three exported symbols.
#include <memory>
#include <mutex>

class CVarManagerWrapper;
class GameWrapper;

#if defined(_WIN32)
#define BAKKESMOD_PLUGIN_EXPORT __declspec(dllexport)
#else
#define BAKKESMOD_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

#define BAKKESMOD_PLUGIN_API_VERSION 95

namespace BakkesMod::Plugin {

enum PLUGINTYPE : int {
    PLUGINTYPE_FREEPLAY = 0x01,
    PLUGINTYPE_CUSTOM_TRAINING = 0x02,
    PLUGINTYPE_SPECTATOR = 0x04,
    PLUGINTYPE_BOTAI = 0x08,
    PLUGINTYPE_REPLAY = 0x10,
    PLUGINTYPE_THREADED = 0x20,
    PLUGINTYPE_THREADEDUNREAL = 0x40,
};

// No virtual destructor on purpose: the host never deletes through this type, the
// shared owner created by getPlugin remembers the concrete type.
class BakkesModPlugin {
public:
    std::shared_ptr<CVarManagerWrapper> cvarManager;
    std::shared_ptr<GameWrapper> gameWrapper;

    virtual void onLoad();
    virtual void onUnload();

protected:
    ~BakkesModPlugin() = default;
};

using PluginOwner = std::shared_ptr<BakkesModPlugin>;
using CreatePluginFn = PluginOwner* (*)();
using DeletePluginFn = void (*)();

// Field order and widths are what hosts read; the ints are padded to pointer width.
struct PluginInfo {
    int apiBuildVersion;
    const char* fileName;
    const char* className;
    const char* pluginName;
    const char* pluginVersion;
    int pluginType;
    CreatePluginFn initializeFunc;
    DeletePluginFn delete_func;
};

} // namespace BakkesMod::Plugin

// Defines exports, getPlugin and deleteMe for classType. One plugin object per library:
// getPlugin creates it on first use and hands out the same owner afterwards.
#define BAKKESMOD_PLUGIN(classType, pluginName, pluginVersion, pluginType)                            \
    namespace {                                                                                      \
    std::mutex bakkesmodPluginOwnerMutex;                                                            \
    BakkesMod::Plugin::PluginOwner bakkesmodPluginOwner;                                             \
    }                                                                                                \
    extern "C" {                                                                                     \
    BAKKESMOD_PLUGIN_EXPORT BakkesMod::Plugin::PluginOwner* getPlugin()                              \
    {                                                                                                \
        std::lock_guard<std::mutex> lock(bakkesmodPluginOwnerMutex);                                 \
        if (!bakkesmodPluginOwner) bakkesmodPluginOwner = std::make_shared<classType>();             \
        return &bakkesmodPluginOwner;                                                                \
    }                                                                                                \
    BAKKESMOD_PLUGIN_EXPORT void deleteMe()                                                          \
    {                                                                                                \
        BakkesMod::Plugin::PluginOwner released;                                                     \
        {                                                                                            \
            std::lock_guard<std::mutex> lock(bakkesmodPluginOwnerMutex);                             \
            released.swap(bakkesmodPluginOwner);                                                     \
        }                                                                                            \
    }                                                                                                \
    BAKKESMOD_PLUGIN_EXPORT BakkesMod::Plugin::PluginInfo exports = {                                \
        BAKKESMOD_PLUGIN_API_VERSION, __FILE__, #classType, pluginName, pluginVersion, pluginType,   \
        &getPlugin, &deleteMe};                                                                      \
    }
