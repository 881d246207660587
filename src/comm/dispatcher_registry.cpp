#include "comm/dispatcher_registry.h"

#include <mutex>
#include <vector>

#include "comm/base_dispatcher.h"

namespace morvik::comm::dispatcher_registry {

namespace {

struct Registry {
    std::mutex lock;
    std::vector<TCmBaseDispatcher*> slots;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

int Register(TCmBaseDispatcher& dispatcher) {
    auto& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    for (std::size_t i = 0; i < registry.slots.size(); ++i) {
        if (registry.slots[i] == nullptr) {
            registry.slots[i] = &dispatcher;
            return static_cast<int>(i);
        }
    }
    registry.slots.push_back(&dispatcher);
    return static_cast<int>(registry.slots.size() - 1);
}

void Unregister(int handle) {
    auto& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    if (handle < 0 || static_cast<std::size_t>(handle) >= registry.slots.size()) return;
    registry.slots[static_cast<std::size_t>(handle)] = nullptr;
    while (!registry.slots.empty() && registry.slots.back() == nullptr) registry.slots.pop_back();
}

TCmBaseDispatcher* Find(int handle) {
    auto& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    if (handle < 0 || static_cast<std::size_t>(handle) >= registry.slots.size()) return nullptr;
    return registry.slots[static_cast<std::size_t>(handle)];
}

TCmBaseDispatcher* FindByDevice(int deviceHandle) {
    if (deviceHandle < 0) return nullptr;  // no device open
    auto& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    for (TCmBaseDispatcher* dispatcher : registry.slots) {
        if (dispatcher != nullptr && dispatcher->DeviceHandle() == deviceHandle) return dispatcher;
    }
    return nullptr;
}

int SlotCount() {
    auto& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    return static_cast<int>(registry.slots.size());
}

}  // namespace morvik::comm::dispatcher_registry
