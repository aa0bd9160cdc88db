#pragma once
// A router for tests: answers as scripted and records every call, readable from the test's
// thread while the reverse proxy worker makes the calls.
#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/port_mapping.h"

namespace kestrel::testing {

struct RouterScript {
    bool found = true;
    std::string lanAddress = "192.168.1.20";
    std::string externalAddress = "203.0.113.7";
    platform::RouterResult externalResult;
    // Add results by external port; ports not listed succeed. A 725 answers only leases > 0.
    std::map<int, platform::RouterResult> addResults;
    platform::RouterResult deleteResult;
    std::vector<platform::PortMappingEntry> mappings; // what the router lists

    std::vector<std::string> Calls() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
    void Record(std::string call)
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(std::move(call));
    }

    mutable std::mutex mutex;
    std::vector<std::string> calls; // "discover", "add EXT INT CLIENT LEASE", "delete EXT", "list"
};

class ScriptedPortMapping : public platform::PortMapping {
public:
    explicit ScriptedPortMapping(std::shared_ptr<RouterScript> script) : script(std::move(script)) {}

    bool Discover() override
    {
        script->Record("discover");
        return script->found;
    }
    std::string LanAddress() override { return script->found ? script->lanAddress : std::string(); }
    platform::RouterResult ExternalAddress(std::string& address) override
    {
        script->Record("external");
        address = script->externalResult.ok() ? script->externalAddress : std::string();
        return script->externalResult;
    }
    platform::RouterResult AddUdpMapping(int externalPort, int internalPort, const std::string& internalClient,
                                         const std::string& description, int leaseSeconds) override
    {
        script->Record("add " + std::to_string(externalPort) + " " + std::to_string(internalPort) + " " + internalClient +
                       " " + std::to_string(leaseSeconds) + " " + description);
        auto it = script->addResults.find(externalPort);
        if (it == script->addResults.end()) return {};
        if (it->second.code == platform::kUpnpOnlyPermanentLeases && leaseSeconds == 0) return {};
        return it->second;
    }
    platform::RouterResult DeleteUdpMapping(int externalPort) override
    {
        script->Record("delete " + std::to_string(externalPort));
        return script->deleteResult;
    }
    platform::RouterResult ListMappings(std::vector<platform::PortMappingEntry>& entries, int maxEntries) override
    {
        script->Record("list");
        entries.assign(script->mappings.begin(),
                       script->mappings.begin() + std::min<std::ptrdiff_t>(maxEntries, script->mappings.size()));
        return {};
    }

private:
    std::shared_ptr<RouterScript> script;
};

} // namespace kestrel::testing
