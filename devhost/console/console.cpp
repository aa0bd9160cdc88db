#include "console/console.h"

#include <cctype>

#include "bakkesmod/wrappers/cvarwrapper.h"
#include "output.h"

namespace devhost {

namespace {

std::string KeyName(std::string key)
{
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

} // namespace

DevConsole::DevConsole(ConfigFile& config, CommandQueue& commands) : config(config), commands(commands) {}

void DevConsole::log(const std::string& text) { PrintLine(text); }

std::shared_ptr<bakkesmod::host::CvarEntry> DevConsole::registerCvar(const bakkesmod::host::CvarDefinition& definition)
{
    std::lock_guard<std::mutex> registering(registerMutex);
    if (auto existing = store.find(definition.name)) return existing;

    // A value from earlier in this run (before a plugin reload) wins over the saved one,
    // and the saved one over the default.
    std::optional<std::string> initial;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (auto it = values.find(definition.name); it != values.end()) initial = it->second;
    }
    if (!initial && definition.saveToCfg) initial = config.saved(definition.name);
    auto entry = store.registerCvar(definition, initial ? &*initial : nullptr);

    const std::string name = definition.name;
    const bool save = definition.saveToCfg;
    entry->addOnValueChanged([this, name, save](std::string, CVarWrapper cvar) {
        const std::string value = cvar.getStringValue();
        remember(name, value);
        if (save) config.store(name, value);
    });
    remember(name, entry->value());
    if (save) config.store(name, entry->value());
    return entry;
}

std::shared_ptr<bakkesmod::host::CvarEntry> DevConsole::findCvar(const std::string& name) { return store.find(name); }

void DevConsole::registerNotifier(const std::string& name, bakkesmod::host::NotifierFn notifier,
                                  const std::string& description, unsigned char permissions)
{
    if (name.empty() || !notifier) return;
    std::lock_guard<std::mutex> lock(mutex);
    notifierTable[name] = Notifier{std::move(notifier), description, permissions};
}

void DevConsole::setBind(const std::string& key, const std::string& command)
{
    if (key.empty()) return;
    std::lock_guard<std::mutex> lock(mutex);
    bindTable[KeyName(key)] = command;
}

void DevConsole::executeCommand(const std::string& command, bool log)
{
    if (log) PrintLine("> " + command);
    // Queued, never run here: the caller may be the drawing pass or the game thread,
    // which the console thread waits on.
    commands.push(command);
}

std::optional<bakkesmod::host::NotifierFn> DevConsole::notifier(const std::string& name) const
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = notifierTable.find(name);
    if (it == notifierTable.end()) return std::nullopt;
    return it->second.fn;
}

std::vector<std::pair<std::string, std::string>> DevConsole::notifiers() const
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::pair<std::string, std::string>> result;
    for (const auto& [name, entry] : notifierTable) result.emplace_back(name, entry.description);
    return result;
}

std::optional<std::string> DevConsole::bind(const std::string& key) const
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = bindTable.find(KeyName(key));
    return it == bindTable.end() ? std::nullopt : std::optional<std::string>(it->second);
}

std::map<std::string, std::string> DevConsole::binds() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return bindTable;
}

void DevConsole::removeBind(const std::string& key)
{
    std::lock_guard<std::mutex> lock(mutex);
    bindTable.erase(KeyName(key));
}

void DevConsole::remember(const std::string& name, const std::string& value)
{
    std::lock_guard<std::mutex> lock(mutex);
    values[name] = value;
}

void DevConsole::dropPluginState()
{
    saveAll();
    std::map<std::string, Notifier> droppedNotifiers;
    {
        std::lock_guard<std::mutex> lock(mutex);
        droppedNotifiers.swap(notifierTable);
    }
    std::lock_guard<std::mutex> registering(registerMutex);
    for (const auto& entry : store.all()) remember(entry->definition().name, entry->value());
    store.clear();
}

void DevConsole::saveAll()
{
    for (const auto& entry : store.all()) {
        if (entry->definition().saveToCfg) config.store(entry->definition().name, entry->value());
    }
    config.save();
}

} // namespace devhost
