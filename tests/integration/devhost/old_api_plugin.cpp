// A library built for another plugin API version: the host must refuse it unopened.
#include "bakkesmod/plugin/bakkesmodplugin.h"

extern "C" {
BAKKESMOD_PLUGIN_EXPORT BakkesMod::Plugin::PluginOwner* getPlugin() { return nullptr; }
BAKKESMOD_PLUGIN_EXPORT void deleteMe() {}
BAKKESMOD_PLUGIN_EXPORT BakkesMod::Plugin::PluginInfo exports = {
    94, __FILE__, "oldapi", "Old", "0.1", BakkesMod::Plugin::PLUGINTYPE_FREEPLAY, &getPlugin, &deleteMe};
}
