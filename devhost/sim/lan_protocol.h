#pragma once
// What two simulated games say to each other when one joins the other's LAN match: the
// player's name and password, and the listen server's answer. A listen server echoes any
// other datagram, so probes and the plugin's reachability test still come back.
#include <optional>
#include <string>
#include <string_view>

namespace devhost {

struct LanJoinRequest {
    std::string name;
    std::string password;
};

std::string LanJoinDatagram(const LanJoinRequest& request);
std::string LanLeaveDatagram(const std::string& name);
std::optional<LanJoinRequest> ParseLanJoin(std::string_view datagram);
std::optional<std::string> ParseLanLeave(std::string_view datagram); // the name

inline constexpr std::string_view kLanWelcome = "kestrel-lan welcome";
inline constexpr std::string_view kLanWrongPassword = "kestrel-lan refused wrong password";
inline constexpr std::string_view kLanFull = "kestrel-lan refused full";
inline constexpr std::string_view kLanLeft = "kestrel-lan left";

// A name from the network as a console line may show it: at most 32 bytes, control
// characters as '?', "(no name)" for none.
std::string PrintableLanName(std::string_view name);

} // namespace devhost
