#include "comm/packet_port_binding.h"

#include "comm/ticks.h"
#include "platform/event_loop.h"

namespace morvik::comm {

namespace {

// How long one round of waiting for a running delivery serves the loop.
constexpr std::int64_t kServeLoopMs = 5;

class RunningCount {
public:
    explicit RunningCount(std::atomic<int>& count) : count_(count) { ++count_; }
    ~RunningCount() { --count_; }
    RunningCount(const RunningCount&) = delete;
    RunningCount& operator=(const RunningCount&) = delete;

private:
    std::atomic<int>& count_;
};

}  // namespace

PacketPortBinding::PacketPortBinding(TCmDataPacketManager& manager, TCmCustomComPort& port)
    : manager_(manager), port_(port) {
    port_.RegisterUserCallbackEx(this, [this](TCmCustomComPort&, TPortEvent event) { PortEvent(event); });
    if (port_.Open()) Enable();
}

PacketPortBinding::~PacketPortBinding() {
    Disable();
    port_.DeregisterUserCallbackEx(this);
}

void PacketPortBinding::PortEvent(TPortEvent event) {
    switch (event) {
        case ptOpen:
            Enable();
            break;
        case ptClosing:
        case ptClosed:
            Disable();
            if (event == ptClosed && manager_.Packets().empty()) {
                TCmCustomComPort* port = &port_;
                port_.Loop().Post([port] { TCmDataPacketManagerList::Instance().ReleaseIfUnused(*port); });
            }
            break;
        case ptPortGone:
            TCmDataPacketManagerList::Instance().PortDestroyed(port_);  // destroys this binding
            break;
    }
}

void PacketPortBinding::Enable() {
    if (dispatcher_ != nullptr) return;
    TCmBaseDispatcher& dispatcher = port_.ValidDispatcher();
    const int handle = dispatcher.NewTimerTrigger();
    CheckError(handle);
    dispatcher_ = &dispatcher;
    timerHandle_ = handle;
    detaching_ = false;
    dispatcher.AddEventHandler(this, [this](const TriggerEvent& event) { OnTrigger(event); });
    manager_.Activate(this);
}

void PacketPortBinding::Disable() {
    if (dispatcher_ == nullptr) return;
    detaching_ = true;
    while (handlersRunning_ > 0 && !inNotification_) port_.Loop().WaitForEvents(kServeLoopMs);
    manager_.Deactivate();
    dispatcher_->DropTrigger(timerHandle_);
    dispatcher_->RemoveEventHandler(this);
    dispatcher_ = nullptr;
    timerHandle_ = 0;
}

void PacketPortBinding::ArmTimeout(int ticks) {
    if (dispatcher_ == nullptr) return;
    // The handle is ours for as long as the port is open, so arming cannot fail.
    if (ticks > 0)
        dispatcher_->ArmTimerTrigger(timerHandle_, static_cast<Ticks>(ticks), true);
    else
        dispatcher_->ArmTimerTrigger(timerHandle_, 0, false);
}

void PacketPortBinding::Notify(const std::function<void()>& notification) {
    if (detaching_ || dispatcher_ == nullptr) return;  // the port is closing: nobody waits for packets
    dispatcher_->Loop().InvokeBlocking([this, &notification] {
        const bool outer = !inNotification_.exchange(true);
        notification();
        if (outer) inNotification_ = false;
    });
}

bool PacketPortBinding::CrossesThreads() const { return !port_.Loop().IsLoopThread(); }

void PacketPortBinding::OnTrigger(const TriggerEvent& event) {
    const RunningCount running(handlersRunning_);
    if (detaching_) return;
    if (event.kind == TriggerKind::kDataAvailable && event.param > 0) {
        readBuffer_.resize(static_cast<std::size_t>(event.param));
        const int count = dispatcher_->ReadBlock(readBuffer_.data(), event.param);
        if (count > 0) manager_.ReceiveBytes(readBuffer_.data(), static_cast<std::size_t>(count));
    } else if (event.kind == TriggerKind::kTimer && event.param == timerHandle_) {
        manager_.TimeoutExpired();
    }
}

}  // namespace morvik::comm
