#include <algorithm>

#include "comm/custom_com_port.h"
#include "comm/data_packet_manager.h"
#include "comm/packet_port_binding.h"

namespace morvik::comm {

struct TCmDataPacketManagerList::Entry {
    TCmCustomComPort* port;
    std::unique_ptr<TCmDataPacketManager> manager;
    std::unique_ptr<PacketPortBinding> binding;

    ~Entry() { binding.reset(); }  // unbind before the manager goes
};

TCmDataPacketManagerList& TCmDataPacketManagerList::Instance() {
    static TCmDataPacketManagerList list;
    return list;
}

TCmDataPacketManagerList::~TCmDataPacketManagerList() = default;

TCmDataPacketManager& TCmDataPacketManagerList::ManagerFor(TCmCustomComPort& port) {
    if (TCmDataPacketManager* existing = Find(port)) return *existing;
    auto entry = std::make_unique<Entry>();
    entry->port = &port;
    entry->manager = std::make_unique<TCmDataPacketManager>(&port);
    entry->binding = std::make_unique<PacketPortBinding>(*entry->manager, port);
    TCmDataPacketManager& manager = *entry->manager;
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
    return manager;
}

TCmDataPacketManager* TCmDataPacketManagerList::Find(const TCmCustomComPort& port) {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&port](const std::unique_ptr<Entry>& e) { return e->port == &port; });
    return it == entries_.end() ? nullptr : (*it)->manager.get();
}

void TCmDataPacketManagerList::ReleaseIfUnused(TCmCustomComPort& port) {
    TCmDataPacketManager* manager = Find(port);
    if (manager == nullptr || !manager->Packets().empty() || manager->Busy()) return;
    if (port.PortState() != TPortState::psClosed) return;  // the close will release it
    Take(port);
}

void TCmDataPacketManagerList::PortDestroyed(TCmCustomComPort& port) {
    Take(port);
}

std::size_t TCmDataPacketManagerList::Count() {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

std::unique_ptr<TCmDataPacketManagerList::Entry> TCmDataPacketManagerList::Take(const TCmCustomComPort& port) {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&port](const std::unique_ptr<Entry>& e) { return e->port == &port; });
    if (it == entries_.end()) return nullptr;
    std::unique_ptr<Entry> entry = std::move(*it);
    entries_.erase(it);
    return entry;
}

}  // namespace morvik::comm
