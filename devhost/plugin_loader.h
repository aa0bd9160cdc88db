#pragma once
// Opening a plugin library and checking that it is one this host can run.
#include <filesystem>
#include <memory>
#include <string>

#include "bakkesmod/plugin/bakkesmodplugin.h"

namespace devhost {

class PluginLibrary {
public:
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // Opens the library, reads its registration record and creates the plugin object.
    // On failure returns null and sets error to a message that names the library.
    static std::unique_ptr<PluginLibrary> open(const std::filesystem::path& path, std::string& error);

    const std::filesystem::path& path() const { return libraryPath; }
    const BakkesMod::Plugin::PluginInfo& info() const { return *record; }
    const std::string& className() const { return pluginClass; }
    BakkesMod::Plugin::PluginOwner plugin() const { return owner; }

    // Drops the host's reference and calls deleteMe; the object dies there.
    void release();

private:
    PluginLibrary() = default;

    std::filesystem::path libraryPath;
    void* handle = nullptr;
    BakkesMod::Plugin::PluginInfo* record = nullptr;
    std::string pluginClass;
    BakkesMod::Plugin::PluginOwner owner;
};

} // namespace devhost
