#pragma once
// The reverse proxy's state records: status log entries, connection and firewall states.
#include <cstdint>
#include <string>

enum class LogLevel : std::int32_t { Info = 0, Success = 1, Warning = 2, Error = 3 };

enum class ConnectionStatus : std::int32_t { Disconnected = 0, Connecting = 1, Connected = 2, Error = 3 };

enum class FirewallStatus : std::int32_t { Checking = 0, Ready = 1, NeedsAdmin = 2, Error = 3 };

struct StatusLogEntry {
    std::string message;
    LogLevel level = LogLevel::Info;
    std::string timestamp; // local wall-clock time it was added, "%H:%M:%S"
};
