#include "bakkesmod/host/firewall_service.h"

#include <mutex>

namespace bakkesmod::host {

namespace {
std::mutex firewallMutex;
std::shared_ptr<FirewallService> installedFirewall;
} // namespace

void installFirewallService(std::shared_ptr<FirewallService> service)
{
    std::lock_guard<std::mutex> lock(firewallMutex);
    installedFirewall = std::move(service);
}

std::shared_ptr<FirewallService> firewallService()
{
    std::lock_guard<std::mutex> lock(firewallMutex);
    return installedFirewall;
}

} // namespace bakkesmod::host
