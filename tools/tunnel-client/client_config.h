#pragma once
// The tunnel client's TOML file, read as strictly as the real client reads it.
#include <optional>
#include <string>
#include <vector>

namespace tunnel {

struct ProxyConfig {
    std::string name;
    std::string type;
    std::string localIP = "127.0.0.1";
    int localPort = 0;
    int remotePort = 0;
};

struct ClientConfig {
    std::string serverAddr = "0.0.0.0";
    int serverPort = 7000;
    std::string token;
    bool loginFailExit = true;
    std::vector<ProxyConfig> proxies;
};

// nullopt with error set for a file that cannot be read, is not TOML, holds a key the client
// does not know or a value of the wrong type.
std::optional<ClientConfig> ReadClientConfig(const std::string& path, std::string& error);
// The same rules for a file's text already read.
std::optional<ClientConfig> ParseClientConfig(const std::string& text, std::string& error);

} // namespace tunnel
