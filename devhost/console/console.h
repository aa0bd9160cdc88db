#pragma once
// The host console behind CVarManagerWrapper: log lines, console variables (kept in the
// config file when saveToCfg), notifiers and key binds.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bakkesmod/host/cvar_store.h"
#include "bakkesmod/host/services.h"
#include "console/command_queue.h"
#include "console/config_file.h"

namespace devhost {

class DevConsole : public bakkesmod::host::ConsoleService {
public:
    DevConsole(ConfigFile& config, CommandQueue& commands);

    void log(const std::string& text) override;
    std::shared_ptr<bakkesmod::host::CvarEntry> registerCvar(const bakkesmod::host::CvarDefinition& definition) override;
    std::shared_ptr<bakkesmod::host::CvarEntry> findCvar(const std::string& name) override;
    void registerNotifier(const std::string& name, bakkesmod::host::NotifierFn notifier,
                          const std::string& description, unsigned char permissions) override;
    void setBind(const std::string& key, const std::string& command) override;
    void executeCommand(const std::string& command, bool log) override;

    std::optional<bakkesmod::host::NotifierFn> notifier(const std::string& name) const;
    std::vector<std::pair<std::string, std::string>> notifiers() const; // name, description
    std::vector<std::shared_ptr<bakkesmod::host::CvarEntry>> cvars() const { return store.all(); }
    // Keys are matched without regard to case ("f8" is F8).
    std::optional<std::string> bind(const std::string& key) const;
    std::map<std::string, std::string> binds() const;
    void removeBind(const std::string& key);

    // Everything that holds plugin code goes: notifiers and the variables with their
    // change callbacks. The values are remembered and come back when the variables are
    // registered again.
    void dropPluginState();
    // Writes every saveToCfg variable's value to the config file.
    void saveAll();

private:
    void remember(const std::string& name, const std::string& value);

    ConfigFile& config;
    CommandQueue& commands;
    bakkesmod::host::CvarStore store;

    mutable std::mutex mutex;
    std::mutex registerMutex; // makes "find, else create and hook" one step
    std::map<std::string, std::string> values; // last value of every variable this run
    struct Notifier {
        bakkesmod::host::NotifierFn fn;
        std::string description;
        unsigned char permissions = 0;
    };
    std::map<std::string, Notifier> notifierTable;
    std::map<std::string, std::string> bindTable; // key (upper case) -> command
};

} // namespace devhost
