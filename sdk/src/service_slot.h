#pragma once
// One installed host service: the host installs it (or clears it at shutdown) while plugin
// threads read it, so every access is under the slot's own lock.
#include <memory>
#include <mutex>

namespace bakkesmod::host {

template <typename Service>
class ServiceSlot {
public:
    void install(std::shared_ptr<Service> service)
    {
        std::lock_guard<std::mutex> lock(mutex);
        installed = std::move(service);
    }
    std::shared_ptr<Service> get()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return installed;
    }

private:
    std::mutex mutex;
    std::shared_ptr<Service> installed;
};

} // namespace bakkesmod::host
