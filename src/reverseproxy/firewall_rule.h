#pragma once
// The one inbound rule the reverse proxy needs for the game's UDP port.
namespace reverse_proxy {

inline constexpr const wchar_t* firewallRuleName = L"BakkesMod ReverseProxy - Rocket League Server Port";
inline constexpr const wchar_t* firewallRuleDescription =
    L"Allows inbound connections to Rocket League server via ReverseProxy";

} // namespace reverse_proxy
