#pragma once
// Connects a packet manager to its port: it follows the port's opening and
// closing, feeds the manager from the dispatcher's data-available events,
// lends it one timer trigger for the packet time-out, and runs its
// notifications on the loop thread (synchronously, when the dispatcher
// delivers from its own thread).

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "comm/base_dispatcher.h"
#include "comm/custom_com_port.h"
#include "comm/data_packet_manager.h"

namespace morvik::comm {

class PacketPortBinding final : public TCmDataPacketManager::Host {
public:
    PacketPortBinding(TCmDataPacketManager& manager, TCmCustomComPort& port);
    ~PacketPortBinding() override;
    PacketPortBinding(const PacketPortBinding&) = delete;
    PacketPortBinding& operator=(const PacketPortBinding&) = delete;

    void ArmTimeout(int ticks) override;
    void Notify(const std::function<void()>& notification) override;
    bool CrossesThreads() const override;

private:
    void PortEvent(TPortEvent event);
    void Enable();
    // Stops the manager. A serial dispatcher thread may be feeding it right
    // now: new deliveries are turned away and a running one is waited for
    // (serving the loop, so its notifications can run), unless this very
    // call comes from one of its notifications, which keeps that thread waiting.
    void Disable();
    void OnTrigger(const TriggerEvent& event);

    TCmDataPacketManager& manager_;
    TCmCustomComPort& port_;
    TCmBaseDispatcher* dispatcher_ = nullptr;
    int timerHandle_ = 0;
    std::vector<std::uint8_t> readBuffer_;
    std::atomic<bool> detaching_{true};
    std::atomic<int> handlersRunning_{0};
    std::atomic<bool> inNotification_{false};
};

}  // namespace morvik::comm
