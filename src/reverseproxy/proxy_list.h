#pragma once
// The proxy list service's answer, read by a small scanner rather than a JSON parser: the
// service's documents are flat, and the scanner's quirks are what stored lists rely on.
#include <cstdint>
#include <string>
#include <vector>

#include "lobby/lobby_address.h"
#include "reverseproxy/proxy_server.h"

namespace reverse_proxy {

// The value of "key" in one object's text, or empty: a quoted value up to the next quote (no
// escapes), any other value up to the first ',', LF, CR or '}' with trailing blanks removed.
std::string ExtractJsonValue(const std::string& objectText, const std::string& key);

// A port or other decimal number the way the list has always been read: leading blanks and a
// sign accepted, the first non-digit ends it. Throws std::invalid_argument("invalid stoi
// argument") without digits, std::out_of_range("stoi argument out of range") beyond int32.
std::int32_t ParseDecimalInt(const std::string& text);

// At most what a host name can be: an address past it names no proxy, and it is logged with
// every probe.
inline constexpr std::size_t kMaxProxyAddressBytes = lobby::kMaxHostNameBytes;
inline constexpr std::size_t kMaxProxyTokenBytes = 4096;

// What the scanner read from one list body. A record needs a name and an address; its port
// defaults to 7000. A port that is no int32 ends the scan with error set, keeping the records
// read before it. A record whose name, address or token is not valid UTF-8 is skipped (the
// tunnel configuration cannot hold it) and counted, as is one whose port is not 1-65535 and one
// whose address or token is longer than the limits above. A name comes cleaned for showing
// (remote_text), counted in textsShortened when it had to be cut.
struct ScannedProxyList {
    std::vector<ProxyServer> servers;
    std::string error; // empty when the whole body was read
    std::size_t skippedNotUtf8 = 0;
    std::size_t skippedBadPort = 0;
    std::size_t skippedTooLong = 0;
    std::size_t textsShortened = 0;
};
ScannedProxyList ScanProxyServerList(const std::string& body);

} // namespace reverse_proxy
