// Port mappings through miniupnpc, the same code on Windows and Linux. Every answer of the
// router is copied out of fixed buffers that miniupnpc bounds, so a hostile router can only
// give short texts.
#include "platform/port_mapping.h"

#ifdef _WIN32
#include <winsock2.h>
#endif

#include <miniupnpc/miniupnpc.h>
#include <miniupnpc/upnpcommands.h>
#include <miniupnpc/upnperrors.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {

namespace {

#ifdef _WIN32
// The game has started Winsock long before a player asks for the router, but a mapping must not
// rely on that (a program of its own has not): each mapping holds a start of its own, as the UDP
// socket does. Without it every search fails with WSANOTINITIALISED.
class WinsockSession {
public:
    WinsockSession()
    {
        WSADATA data{};
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession()
    {
        if (started) WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

private:
    bool started = false;
};
#else
struct WinsockSession {};
#endif

// miniupnpc waits about this long plus 50 ms per search type, and never less than a second.
constexpr int kDiscoverDelayMs = 1000;
constexpr unsigned char kMulticastTtl = 2;

std::string TextOf(const char* buffer, std::size_t size)
{
    std::string text(buffer, strnlen(buffer, size));
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) c = '?';
    }
    return text;
}

RouterResult ResultOf(int code)
{
    if (code == UPNPCOMMAND_SUCCESS) return {};
    const char* text = strupnperror(code);
    return {code, text ? text : "UPnP error"};
}

int PortOf(const char* text)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value > 0 && value <= 65535 ? static_cast<int>(value) : 0;
}

class MiniupnpcPortMapping : public PortMapping {
public:
    explicit MiniupnpcPortMapping(std::string multicastInterface) : interfaceName(std::move(multicastInterface)) {}
    ~MiniupnpcPortMapping() override { Forget(); }
    MiniupnpcPortMapping(const MiniupnpcPortMapping&) = delete;
    MiniupnpcPortMapping& operator=(const MiniupnpcPortMapping&) = delete;

    bool Discover() override
    {
        Forget();
        int error = 0;
        // A restricted discovery leaves the local discovery daemon out too: it would answer for
        // the whole LAN. An empty path switches it off; null means its default place.
        const char* daemonSocket = interfaceName.empty() ? nullptr : "";
        // One search type: the library waits the whole delay for each type it tries, so its own
        // list of four would take four seconds to say that no router answers. IGD:2 routers
        // answer a search for IGD:1 too.
        static const char* const gatewayTypes[] = {"urn:schemas-upnp-org:device:InternetGatewayDevice:1", nullptr};
        UPNPDev* devices =
            upnpDiscoverDevices(gatewayTypes, kDiscoverDelayMs, interfaceName.empty() ? nullptr : interfaceName.c_str(),
                                daemonSocket, UPNP_LOCAL_PORT_ANY, 0, kMulticastTtl, &error, 0);
        if (!devices) return false;
        char lan[64] = {};
        // 2 is a gateway that reports itself not connected: one whose own address is reserved
        // says so, and whether that address is usable is decided from the address itself.
        const int found = UPNP_GetValidIGD(devices, &urls, &data, lan, sizeof lan);
        freeUPNPDevlist(devices);
        if (found == 1 || found == 2) {
            haveUrls = true;
            lanAddress = TextOf(lan, sizeof lan);
            return true;
        }
        if (found != 0) FreeUPNPUrls(&urls);
        urls = {};
        return false;
    }

    std::string LanAddress() override { return lanAddress; }

    RouterResult ExternalAddress(std::string& address) override
    {
        address.clear();
        if (!haveUrls) return NoGateway();
        char external[40] = {};
        const RouterResult result = ResultOf(UPNP_GetExternalIPAddress(urls.controlURL, data.first.servicetype, external));
        if (result.ok()) address = TextOf(external, sizeof external);
        return result;
    }

    RouterResult AddUdpMapping(int externalPort, int internalPort, const std::string& internalClient,
                               const std::string& description, int leaseSeconds) override
    {
        if (!haveUrls) return NoGateway();
        const std::string external = std::to_string(externalPort);
        const std::string internal = std::to_string(internalPort);
        const std::string lease = std::to_string(leaseSeconds);
        return ResultOf(UPNP_AddPortMapping(urls.controlURL, data.first.servicetype, external.c_str(), internal.c_str(),
                                            internalClient.c_str(), description.c_str(), "UDP", nullptr,
                                            lease.c_str()));
    }

    RouterResult DeleteUdpMapping(int externalPort) override
    {
        if (!haveUrls) return NoGateway();
        const std::string external = std::to_string(externalPort);
        return ResultOf(UPNP_DeletePortMapping(urls.controlURL, data.first.servicetype, external.c_str(), "UDP", nullptr));
    }

    RouterResult ListMappings(std::vector<PortMappingEntry>& entries, int maxEntries) override
    {
        entries.clear();
        if (!haveUrls) return NoGateway();
        for (int index = 0; index < maxEntries; ++index) {
            char externalPort[6] = {}, client[16] = {}, internalPort[6] = {}, protocol[4] = {}, desc[80] = {},
                 enabled[6] = {}, remoteHost[64] = {}, duration[16] = {};
            const std::string indexText = std::to_string(index);
            const int code = UPNP_GetGenericPortMappingEntry(urls.controlURL, data.first.servicetype, indexText.c_str(),
                                                             externalPort, client, internalPort, protocol, desc,
                                                             enabled, remoteHost, duration);
            if (code != UPNPCOMMAND_SUCCESS) {
                // 713 (SpecifiedArrayIndexInvalid) ends the list; any failure after the first
                // entry is taken as its end too, so what was read stays usable.
                return index == 0 && code != 713 ? ResultOf(code) : RouterResult{};
            }
            PortMappingEntry entry;
            entry.externalPort = PortOf(TextOf(externalPort, sizeof externalPort).c_str());
            entry.internalClient = TextOf(client, sizeof client);
            entry.internalPort = PortOf(TextOf(internalPort, sizeof internalPort).c_str());
            entry.protocol = TextOf(protocol, sizeof protocol);
            entry.description = TextOf(desc, sizeof desc);
            entries.push_back(std::move(entry));
        }
        return {};
    }

private:
    static RouterResult NoGateway() { return {UPNPCOMMAND_UNKNOWN_ERROR, "no router found"}; }
    void Forget()
    {
        if (haveUrls) FreeUPNPUrls(&urls);
        haveUrls = false;
        urls = {};
        data = {};
        lanAddress.clear();
    }

    WinsockSession winsock; // first in, last out: every router call below needs it
    std::string interfaceName;
    UPNPUrls urls{};
    IGDdatas data{};
    bool haveUrls = false;
    std::string lanAddress;
};

} // namespace

std::unique_ptr<PortMapping> CreatePortMapping(const std::string& multicastInterface)
{
    return std::make_unique<MiniupnpcPortMapping>(multicastInterface);
}

std::string PortMappingInterfaceFromEnvironment()
{
    const char* value = std::getenv("KESTREL_UPNP_INTERFACE");
    return value ? std::string(value) : std::string();
}

} // namespace platform
