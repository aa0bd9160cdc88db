#include "bakkesmod/host/firewall_service.h"

#include "service_slot.h"

namespace bakkesmod::host {

namespace {
ServiceSlot<FirewallService> firewall;
} // namespace

void installFirewallService(std::shared_ptr<FirewallService> service) { firewall.install(std::move(service)); }

std::shared_ptr<FirewallService> firewallService() { return firewall.get(); }

} // namespace bakkesmod::host
