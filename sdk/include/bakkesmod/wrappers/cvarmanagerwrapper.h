#pragma once
// The plugin's handle on the host console.
#include <functional>
#include <string>
#include <vector>

#include "bakkesmod/wrappers/cvarwrapper.h"

namespace bakkesmod::host {
class ConsoleService;
}

class CVarManagerWrapper {
public:
    explicit CVarManagerWrapper(bakkesmod::host::ConsoleService* console);

    void log(std::string text);
    CVarWrapper registerCvar(std::string cvar, std::string defaultValue, std::string desc = "",
                             bool searchAble = true, bool hasMin = false, float min = 0, bool hasMax = false,
                             float max = 0, bool saveToCfg = true);
    void registerNotifier(std::string cvar, std::function<void(std::vector<std::string>)> notifier,
                          std::string description, unsigned char permissions);
    void setBind(std::string key, std::string command);
    void executeCommand(std::string command, bool log = true);
    CVarWrapper getCvar(std::string cvar);

private:
    bakkesmod::host::ConsoleService* console;
};
