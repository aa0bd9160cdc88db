#include "reverseproxy/panel_style.h"

namespace reverse_proxy::style {

Look ConnectionLook(ConnectionStatus status)
{
    switch (status) {
    case ConnectionStatus::Connecting: return {"", "Connecting...", yellow};
    case ConnectionStatus::Connected: return {"", "Connected", green};
    case ConnectionStatus::Error: return {"", "Error", red};
    case ConnectionStatus::Disconnected: break;
    }
    return {"", "Disconnected", grey};
}

Look FirewallLook(FirewallStatus status)
{
    switch (status) {
    case FirewallStatus::Ready: return {"[OK]", "Port 7777 Open", green};
    case FirewallStatus::NeedsAdmin: return {"[!]", "Needs Admin to Create Rule", yellow};
    case FirewallStatus::Error: return {"[X]", "Firewall Error", red};
    case FirewallStatus::Checking: break;
    }
    return {"[?]", "Checking...", grey};
}

Look RouterLook(RouterState state)
{
    const char* icon = RouterIcon(state);
    switch (state) {
    case RouterState::Mapped: return {icon, "", green};
    case RouterState::NoRouter:
    case RouterState::NotPublic:
    case RouterState::Refused: return {icon, "", yellow};
    case RouterState::NotAsked:
    case RouterState::Asking: break;
    }
    return {icon, "", grey};
}

ImVec4 LatencyColour(std::int32_t latency)
{
    if (latency < 0) {
        return grey;
    }
    if (latency < 50) {
        return green;
    }
    return latency < 100 ? yellow : red;
}

ImVec4 LogLevelColour(LogLevel level)
{
    switch (level) {
    case LogLevel::Success: return green;
    case LogLevel::Warning: return yellow;
    case LogLevel::Error: return red;
    case LogLevel::Info: break;
    }
    return white;
}

} // namespace reverse_proxy::style
