#pragma once
// UDP port mappings on the home router through UPnP (Internet Gateway Device). One
// implementation on miniupnpc serves Windows and Linux; tests script their own.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// A router call's outcome: code 0 is success; a positive code is the router's UPnP error
// (718 ConflictInMappingEntry, 725 OnlyPermanentLeasesSupported, ...); a negative one is the
// library's own (no answer, bad answer). text is the readable name of the code.
struct RouterResult {
    int code = 0;
    std::string text;
    bool ok() const { return code == 0; }
};

inline constexpr int kUpnpConflictInMappingEntry = 718;
inline constexpr int kUpnpOnlyPermanentLeases = 725;

struct PortMappingEntry {
    int externalPort = 0;
    std::string internalClient; // the LAN address it forwards to
    int internalPort = 0;
    std::string protocol;       // "UDP" or "TCP"
    std::string description;
};

class PortMapping {
public:
    virtual ~PortMapping() = default;

    // Looks for a gateway for about a second; true when one answered, also one that calls
    // itself not connected (a router whose own address is in a reserved range does). Later
    // calls go to the gateway found.
    virtual bool Discover() = 0;
    // The address of this machine as the gateway sees it; empty before Discover found one.
    virtual std::string LanAddress() = 0;
    // The router's internet address, as it reports it (possibly empty).
    virtual RouterResult ExternalAddress(std::string& address) = 0;
    // leaseSeconds 0 asks for a permanent mapping. Adding the same mapping again renews it.
    virtual RouterResult AddUdpMapping(int externalPort, int internalPort, const std::string& internalClient,
                                       const std::string& description, int leaseSeconds) = 0;
    virtual RouterResult DeleteUdpMapping(int externalPort) = 0;
    // The router's mappings, at most maxEntries of them.
    virtual RouterResult ListMappings(std::vector<PortMappingEntry>& entries, int maxEntries) = 0;
};

// miniupnpc. multicastInterface: where discovery asks (an interface name or one of its
// addresses); empty: the system's default, and the local discovery daemon where one runs.
std::unique_ptr<PortMapping> CreatePortMapping(const std::string& multicastInterface);
// The interface a host restricts discovery to through KESTREL_UPNP_INTERFACE (the development
// host sets it: loopback unless told otherwise); empty when unset, as for players.
std::string PortMappingInterfaceFromEnvironment();

} // namespace platform
