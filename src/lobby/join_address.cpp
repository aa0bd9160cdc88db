#include "lobby/join_address.h"

#include <fmt/format.h>

#include "hosting/url_option.h"
#include "lobby/lobby_address.h"

namespace lobby {

namespace {

// Longest DNS name; longer text is no host anyone can join.
constexpr std::size_t kLongestHost = 253;

std::string_view Trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Digits only, no sign, 1 to 65535; leading zeros are still the same port.
std::optional<int> ParsePort(std::string_view text)
{
    if (text.empty()) return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 65535) return std::nullopt;
    }
    if (value < 1) return std::nullopt;
    return static_cast<int>(value);
}

JoinAddressCheck Refused(std::string why) { return {std::nullopt, std::move(why)}; }

} // namespace

std::string JoinTarget::Text() const { return host + ":" + std::to_string(port); }

JoinAddressCheck ParseJoinAddress(std::string_view text)
{
    const std::string address(Trimmed(text));
    if (address.empty()) return Refused(kEnterAnAddress);
    if (!hosting::IsSafeUrlOptionValue(address)) return Refused("Not joined: the address holds |, ?, # or a control character");
    const size_t colon = address.find(':');
    const std::string host = address.substr(0, colon);
    if (host.size() > kLongestHost || !IsPlainHostAddress(host))
        return Refused("Not joined: the host must be a plain host name or IPv4 address");
    if (colon == std::string::npos) return {JoinTarget{host, defaultJoinPort}, {}};
    const std::optional<int> port = ParsePort(std::string_view(address).substr(colon + 1));
    if (!port) return Refused("Not joined: the port must be a number from 1 to 65535");
    return {JoinTarget{host, *port}, {}};
}

std::optional<std::string> JoinPasswordRefusal(const std::string& password)
{
    if (hosting::IsSafeUrlOptionValue(password)) return std::nullopt;
    return "Not joined: the password holds |, ?, # or a control character";
}

std::string JoinCommand(const JoinTarget& target, const std::string& password)
{
    return fmt::format("open {}:{}?Lan?Password={}", target.host, target.port, password);
}

} // namespace lobby
