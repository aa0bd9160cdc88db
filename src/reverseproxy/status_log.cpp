#include "reverseproxy/status_log.h"

#include <ctime>

#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace reverse_proxy {

const char* LevelTag(LogLevel level)
{
    switch (level) {
    case LogLevel::Success: return "[SUCCESS] ";
    case LogLevel::Warning: return "[WARNING] ";
    case LogLevel::Error: return "[ERROR] ";
    case LogLevel::Info: break;
    }
    return "[INFO] ";
}

std::string LocalTimestamp()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[16] = {};
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

void AppendCapped(std::deque<StatusLogEntry>& log, StatusLogEntry entry)
{
    log.push_back(std::move(entry));
    while (log.size() > statusLogCapacity) {
        log.pop_front();
    }
}

} // namespace reverse_proxy

void matchbay::AddStatusLog(const std::string& message, LogLevel level)
{
    std::lock_guard<std::mutex> lock(statusLogMutex);
    reverse_proxy::AppendCapped(statusLog, StatusLogEntry{message, level, reverse_proxy::LocalTimestamp()});
    // Still under the lock, so the console shows entries in the log's own order.
    LogLine(reverse_proxy::LevelTag(level) + message);
}

std::deque<StatusLogEntry> matchbay::StatusLogSnapshot() const
{
    std::lock_guard<std::mutex> lock(statusLogMutex);
    return statusLog;
}
