#include "sim/lan_protocol.h"

namespace devhost {

namespace {

constexpr std::string_view kJoin = "kestrel-lan join\n";
constexpr std::string_view kLeave = "kestrel-lan leave\n";
constexpr std::size_t kLongestName = 32;

} // namespace

// The name ends at the first line break; everything after it is the password, whatever it holds.
std::string LanJoinDatagram(const LanJoinRequest& request)
{
    return std::string(kJoin) + request.name + "\n" + request.password;
}

std::string LanLeaveDatagram(const std::string& name) { return std::string(kLeave) + name; }

std::optional<LanJoinRequest> ParseLanJoin(std::string_view datagram)
{
    if (datagram.substr(0, kJoin.size()) != kJoin) return std::nullopt;
    datagram.remove_prefix(kJoin.size());
    const size_t end = datagram.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    return LanJoinRequest{std::string(datagram.substr(0, end)), std::string(datagram.substr(end + 1))};
}

std::optional<std::string> ParseLanLeave(std::string_view datagram)
{
    if (datagram.substr(0, kLeave.size()) != kLeave) return std::nullopt;
    return std::string(datagram.substr(kLeave.size()));
}

std::string PrintableLanName(std::string_view name)
{
    if (name.empty()) return "(no name)";
    std::string shown(name.substr(0, kLongestName));
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    return shown;
}

} // namespace devhost
