#pragma once
// The process-wide console handle through which every part of the plugin logs.
#include <memory>
#include <string>
#include <utility>

#include <fmt/format.h>

class CVarManagerWrapper;

// Set once in onLoad, before anything that logs can start; only read afterwards.
extern std::shared_ptr<CVarManagerWrapper> globalCvarManager;

// One console line; dropped while no host console is known (before the first onLoad).
void LogLine(std::string text);

template <typename... Args>
void Log(fmt::format_string<Args...> format, Args&&... args)
{
    LogLine(fmt::format(format, std::forward<Args>(args)...));
}
