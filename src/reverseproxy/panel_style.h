#pragma once
// Colours and labels of the reverse proxy panel, by state.
#include <cstdint>

#include <imgui.h>

#include "reverseproxy/reverse_proxy_state.h"
#include "reverseproxy/router_port_mapper.h"

namespace reverse_proxy::style {

inline const ImVec4 green{0.0f, 1.0f, 0.0f, 1.0f};
inline const ImVec4 yellow{1.0f, 1.0f, 0.0f, 1.0f};
inline const ImVec4 red{1.0f, 0.0f, 0.0f, 1.0f};
inline const ImVec4 grey{0.5f, 0.5f, 0.5f, 1.0f};
inline const ImVec4 white{1.0f, 1.0f, 1.0f, 1.0f};
inline const ImVec4 lightBlue{0.2f, 0.8f, 1.0f, 1.0f};
inline const ImVec4 orange{1.0f, 0.65f, 0.0f, 1.0f};
inline const ImVec4 sourceGrey{0.7f, 0.7f, 0.7f, 1.0f};
inline const ImVec4 labelGrey{0.8f, 0.8f, 0.8f, 1.0f};

struct Look {
    const char* icon; // firewall states only
    const char* label;
    ImVec4 colour;
};

Look ConnectionLook(ConnectionStatus status);
Look FirewallLook(FirewallStatus status);
// The router line: its label is what the router said.
Look RouterLook(RouterState state);
ImVec4 LatencyColour(std::int32_t latency);
ImVec4 LogLevelColour(LogLevel level);

} // namespace reverse_proxy::style
