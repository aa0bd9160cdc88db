#include "reverseproxy/proxy_list.h"

#include <cctype>
#include <limits>
#include <stdexcept>

#include "bakkesmod/wrappers/cvarmanagerwrapper.h"
#include "bakkesmod/wrappers/http/HttpWrapper.h"
#include "lobby/remote_text.h"
#include "plugin/logging.h"
#include "plugin/matchbay.h"

namespace reverse_proxy {

std::string ExtractJsonValue(const std::string& objectText, const std::string& key)
{
    const size_t keyPos = objectText.find("\"" + key + "\"");
    if (keyPos == std::string::npos) {
        return {};
    }
    const size_t colon = objectText.find(':', keyPos);
    if (colon == std::string::npos) {
        return {};
    }
    const size_t start = objectText.find_first_not_of(" \t\n\r", colon + 1);
    if (start == std::string::npos) {
        return {};
    }
    if (objectText[start] == '"') {
        const size_t close = objectText.find('"', start + 1);
        if (close == std::string::npos) {
            return {};
        }
        return objectText.substr(start + 1, close - start - 1);
    }
    const size_t end = objectText.find_first_of(",\n\r}", start);
    if (end == std::string::npos) {
        return {};
    }
    std::string value = objectText.substr(start, end - start);
    const size_t last = value.find_last_not_of(" \t\n\r");
    value.erase(last == std::string::npos ? 0 : last + 1);
    return value;
}

std::int32_t ParseDecimalInt(const std::string& text)
{
    size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const size_t digitsStart = pos;
    // Accumulated as a negative number so INT32_MIN fits.
    std::int64_t value = 0;
    bool outOfRange = false;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (!outOfRange) {
            value = value * 10 - (text[pos] - '0');
            outOfRange = value < std::numeric_limits<std::int32_t>::min();
        }
        ++pos;
    }
    if (pos == digitsStart) {
        throw std::invalid_argument("invalid stoi argument");
    }
    if (!negative && !outOfRange && -value > std::numeric_limits<std::int32_t>::max()) {
        outOfRange = true;
    }
    if (outOfRange) {
        throw std::out_of_range("stoi argument out of range");
    }
    return static_cast<std::int32_t>(negative ? value : -value);
}

ScannedProxyList ScanProxyServerList(const std::string& body)
{
    ScannedProxyList scanned;
    remote_text::Cleaner cleaner;
    try {
        const size_t keyPos = body.size() < 9 ? std::string::npos : body.find("\"servers\"");
        if (keyPos == std::string::npos) {
            throw std::runtime_error("'servers' key not found");
        }
        const size_t open = body.find('[', keyPos);
        const size_t close = open == std::string::npos ? std::string::npos : body.find(']', open);
        if (close == std::string::npos) {
            throw std::runtime_error("Invalid servers array");
        }
        const std::string array = body.substr(open + 1, close - open - 1);

        size_t pos = 0;
        while (pos < array.size()) {
            const size_t objectStart = array.find('{', pos);
            if (objectStart == std::string::npos) {
                break;
            }
            const size_t objectEnd = array.find('}', objectStart);
            if (objectEnd == std::string::npos) {
                break;
            }
            const std::string object = array.substr(objectStart, objectEnd - objectStart + 1);
            std::string name = ExtractJsonValue(object, "name");
            std::string address = ExtractJsonValue(object, "address");
            const std::string portText = ExtractJsonValue(object, "port");
            std::string authToken = ExtractJsonValue(object, "authToken");
            if (!name.empty() && !address.empty()) {
                const std::int32_t port = portText.empty() ? 7000 : ParseDecimalInt(portText);
                if (!remote_text::IsValidUtf8(name) || !remote_text::IsValidUtf8(address) || !remote_text::IsValidUtf8(authToken)) {
                    ++scanned.skippedNotUtf8;
                } else if (port < 1 || port > 65535) {
                    ++scanned.skippedBadPort;
                } else if (address.size() > kMaxProxyAddressBytes || authToken.size() > kMaxProxyTokenBytes) {
                    ++scanned.skippedTooLong;
                } else {
                    scanned.servers.emplace_back(cleaner.Name(name), std::move(address), port, std::move(authToken));
                }
            }
            pos = objectEnd + 1;
        }
    } catch (const std::exception& error) {
        scanned.error = error.what();
    }
    scanned.textsShortened = cleaner.Shortened();
    return scanned;
}

} // namespace reverse_proxy

std::string matchbay::ExtractJsonValue(const std::string& objectText, const std::string& key)
{
    return reverse_proxy::ExtractJsonValue(objectText, key);
}

void matchbay::LoadProxyServerList()
{
    AddStatusLog("Fetching server list from HTTP...", LogLevel::Info);
    FetchProxyServerListFromHTTP();
}

void matchbay::FetchProxyServerListFromHTTP()
{
    CVarWrapper urlCvar = cvarManager->getCvar("rp_server_list_url");
    if (urlCvar.IsNull()) {
        AddStatusLog("Server list URL not configured", LogLevel::Error);
        return;
    }
    const std::string url = urlCvar.getStringValue();
    LogLine("Fetching server list from: " + url);
    CurlRequest request;
    request.url = url;
    std::weak_ptr<matchbay> weak = weak_from_this();
    HttpWrapper::SendCurlRequest(request, [weak](int code, std::string body) {
        // An answer that arrives after the plugin is gone has nobody to tell.
        if (auto self = weak.lock()) {
            self->OnProxyServerListResponse(code, body);
        }
    });
}

void matchbay::OnProxyServerListResponse(int code, const std::string& body)
{
    {
        // The ping workers hold references into proxyServers: they stop before it changes.
        std::lock_guard<std::mutex> lock(pingManagerMutex);
        if (reverseProxyStopping) {
            return;
        }
        if (pingManager) {
            pingManager->Stop();
            pingManager.reset();
        }
    }

    if (code == 200) {
        LogLine("Server list fetched successfully (" + std::to_string(body.size()) + " bytes)");
        ParseProxyServerList(body);
        AddStatusLog("Server list loaded successfully", LogLevel::Success);
    } else {
        LogLine("Failed to fetch server list. HTTP code: " + std::to_string(code));
        AddStatusLog("Failed to fetch server list from HTTP", LogLevel::Error);
        std::lock_guard<std::mutex> lock(serverListMutex);
        proxyServers.clear();
        proxyServers.push_back(DefaultProxyServer());
        AddStatusLog("Using default server configuration", LogLevel::Warning);
    }

    std::lock_guard<std::mutex> lock(pingManagerMutex);
    if (reverseProxyStopping) {
        return;
    }
    pingManager = std::make_unique<PingManager>();
    if (pingManager->Start(&proxyServers)) {
        AddStatusLog("Ping manager started", LogLevel::Success);
    } else {
        AddStatusLog("Failed to start ping manager", LogLevel::Warning);
    }
}

void matchbay::ParseProxyServerList(const std::string& body)
{
    auto scanned = reverse_proxy::ScanProxyServerList(body);
    // Each accepted server costs a ping worker and its console lines, so a list is taken only
    // up to the ping manager's limit, the fallback record of a failed scan included.
    const std::size_t room = scanned.error.empty() ? PingManager::maxServers : PingManager::maxServers - 1;
    const std::size_t skippedBeyondRoom = scanned.servers.size() > room ? scanned.servers.size() - room : 0;
    if (skippedBeyondRoom > 0)
        scanned.servers.erase(scanned.servers.begin() + static_cast<std::ptrdiff_t>(room), scanned.servers.end());
    std::lock_guard<std::mutex> lock(serverListMutex);
    proxyServers = std::move(scanned.servers);
    for (const auto& server : proxyServers)
        LogLine("Loaded server: " + server.name + " (" + server.address + ":" + std::to_string(server.port) + ")");
    if (skippedBeyondRoom > 0)
        AddStatusLog("Skipped " + std::to_string(skippedBeyondRoom) + " proxy server(s) beyond the first " +
                         std::to_string(room),
                     LogLevel::Warning);
    if (scanned.skippedNotUtf8 > 0)
        LogLine("Skipped " + std::to_string(scanned.skippedNotUtf8) +
                " server(s) whose name, address or token is not valid UTF-8");
    if (scanned.skippedBadPort > 0)
        LogLine("Skipped " + std::to_string(scanned.skippedBadPort) + " server(s) whose port is not from 1 to 65535");
    if (scanned.skippedTooLong > 0)
        LogLine("Skipped " + std::to_string(scanned.skippedTooLong) + " server(s) whose address is longer than " +
                std::to_string(reverse_proxy::kMaxProxyAddressBytes) + " bytes or token longer than " +
                std::to_string(reverse_proxy::kMaxProxyTokenBytes) + " bytes");
    if (scanned.textsShortened > 0) LogLine(remote_text::ShortenedLine(scanned.textsShortened, "proxy list"));
    if (!scanned.error.empty()) {
        LogLine("Error parsing server list JSON: " + scanned.error);
        AddStatusLog("Error parsing server list", LogLevel::Error);
        proxyServers.push_back(DefaultProxyServer());
        return;
    }
    LogLine("Loaded " + std::to_string(proxyServers.size()) + " servers from JSON");
}

std::vector<ProxyServer> matchbay::ProxyServersSnapshot() const
{
    std::lock_guard<std::mutex> lock(serverListMutex);
    return proxyServers;
}
