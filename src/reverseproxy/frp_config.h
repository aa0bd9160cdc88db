#pragma once
// The tunnel client's TOML configuration and the port service's answer.
#include <cstdint>
#include <string>

#include "reverseproxy/proxy_server.h"

namespace frp_config {

// value as a TOML basic string, quotes included: '"', '\' and control characters escaped,
// so a value from the remote proxy list can never add keys or tables to the file.
std::string TomlString(const std::string& value);

// The whole file: serverAddr, serverPort, auth.token (only with a token), then one UDP proxy
// "rocket-league-server" from 127.0.0.1:localPort to remotePort.
std::string ConfigText(const ProxyServer& server, std::int32_t localPort, std::int32_t remotePort);

// The value of the first "port" key of the port service's answer: a whole number 1-65535, bare
// or in quotes. 0 for anything else: no such key, a sign, a fraction or exponent, text after
// the digits, or another value (a number under another key is never taken instead).
std::int32_t ParsePortAnswer(const std::string& body);

} // namespace frp_config
