#include "plugin_loader.h"

#include <dlfcn.h>

#include <exception>

namespace devhost {

PluginLibrary::~PluginLibrary()
{
    release();
    if (handle) dlclose(handle);
}

std::unique_ptr<PluginLibrary> PluginLibrary::open(const std::filesystem::path& path, std::string& error)
{
    std::unique_ptr<PluginLibrary> library(new PluginLibrary());
    library->libraryPath = path;
    std::error_code exists;
    if (!std::filesystem::is_regular_file(path, exists)) {
        error = "cannot load " + path.string() + ": no such file";
        return nullptr;
    }
    dlerror();
    library->handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library->handle) {
        const char* why = dlerror();
        error = "cannot load " + path.string() + ": " + (why ? why : "unknown error");
        return nullptr;
    }
    auto* record = static_cast<BakkesMod::Plugin::PluginInfo*>(dlsym(library->handle, "exports"));
    if (!record) {
        error = "refused " + path.string() + ": not a plugin (no 'exports' record)";
        return nullptr;
    }
    if (record->apiBuildVersion != BAKKESMOD_PLUGIN_API_VERSION) {
        error = "refused " + path.string() + ": plugin API version " + std::to_string(record->apiBuildVersion) +
                ", this host runs version " + std::to_string(BAKKESMOD_PLUGIN_API_VERSION);
        return nullptr;
    }
    if (!record->initializeFunc || !record->delete_func || !dlsym(library->handle, "getPlugin") ||
        !dlsym(library->handle, "deleteMe")) {
        error = "refused " + path.string() + ": entry points getPlugin and deleteMe missing";
        return nullptr;
    }
    library->record = record;
    library->pluginClass = record->className ? record->className : "";
    if (library->pluginClass.empty()) {
        error = "refused " + path.string() + ": the registration record names no class";
        return nullptr;
    }
    BakkesMod::Plugin::PluginOwner* owner = nullptr;
    try {
        owner = record->initializeFunc();
    } catch (const std::exception& thrown) {
        error = "refused " + path.string() + ": getPlugin threw: " + thrown.what();
        return nullptr;
    } catch (...) {
        error = "refused " + path.string() + ": getPlugin threw";
        return nullptr;
    }
    if (!owner || !*owner) {
        error = "refused " + path.string() + ": getPlugin returned no plugin";
        library->record->delete_func();
        return nullptr;
    }
    library->owner = *owner;
    return library;
}

void PluginLibrary::release()
{
    if (!owner) return;
    owner.reset();
    record->delete_func();
}

} // namespace devhost
