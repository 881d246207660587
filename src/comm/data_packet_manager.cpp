#include "comm/data_packet_manager.h"

#include <algorithm>
#include <exception>

#include "comm/exception_display.h"

namespace morvik::comm {

TCmDataPacketManager::TCmDataPacketManager(TCmCustomComPort* port) : port_(port) {}

TCmDataPacketManager::~TCmDataPacketManager() {
    for (TCmDataPacket* packet : packets_) {
        packet->state_ = TCmDataPacket::State::kIdle;
        packet->manager_ = nullptr;
    }
}

void TCmDataPacketManager::Attach(TCmDataPacket& packet) {
    if (packet.manager_ == this) return;
    if (packet.manager_ != nullptr) packet.manager_->Detach(packet);
    const std::lock_guard lock(mutex_);
    packet.manager_ = this;
    packet.state_ = TCmDataPacket::State::kIdle;
    packets_.push_back(&packet);
    if (!active_ || !packet.enabled_) return;
    try {
        packet.CheckConfiguration();
    } catch (...) {
        packet.enabled_ = false;  // as switching it on here would have failed
        throw;
    }
    if (inEvent_) return;  // it starts when the event ends
    StartPacketAndScan(packet);
    RunPendingScans();
}

void TCmDataPacketManager::Detach(TCmDataPacket& packet) {
    bool lastLeft = false;
    {
        const std::lock_guard lock(mutex_);
        if (packet.manager_ != this) return;
        StopPacket(packet);
        packets_.erase(std::find(packets_.begin(), packets_.end(), &packet));
        packet.manager_ = nullptr;
        lastLeft = packets_.empty();
        RunPendingScans();
    }
    // Last: this may destroy the manager.
    if (port_ != nullptr && lastLeft) TCmDataPacketManagerList::Instance().ReleaseIfUnused(*port_);
}

void TCmDataPacketManager::Activate(Host* host) {
    const std::lock_guard lock(mutex_);
    host_ = host;
    active_ = true;
    buffer_.Clear();
    std::exception_ptr firstError;
    for (TCmDataPacket* packet : packets_) {
        if (!packet->enabled_) continue;
        try {
            packet->CheckConfiguration();
            StartPacket(*packet);
        } catch (...) {
            if (!firstError) firstError = std::current_exception();
        }
    }
    if (firstError) std::rethrow_exception(firstError);
}

void TCmDataPacketManager::Deactivate() {
    const std::lock_guard lock(mutex_);
    for (TCmDataPacket* packet : packets_) StopPacket(*packet);
    if (host_ != nullptr) host_->ArmTimeout(0);
    host_ = nullptr;
    active_ = false;
    rescanPending_ = false;
    buffer_.Clear();
}

void TCmDataPacketManager::ReceiveBytes(const std::uint8_t* bytes, std::size_t count) {
    const std::lock_guard lock(mutex_);
    if (!active_ || count == 0) return;
    const std::size_t oldSize = buffer_.size();
    buffer_.Append(bytes, count);
    RequestRescan(oldSize);
    RunPendingScans();
    if (active_ && !inEvent_ && buffer_.size() > kPendingLimit) DropPendingAndRestart();
}

template <typename Notification>
void TCmDataPacketManager::RunNotification(const Notification& notification) {
    const auto guarded = [&notification] {
        try {
            notification();
        } catch (...) {
            ShowException(std::current_exception());
        }
    };
    Host* host = host_;
    if (host == nullptr || !host->CrossesThreads()) {
        // The handler runs on this thread, which holds the lock: it may call back in.
        if (host != nullptr)
            host->Notify(guarded);
        else
            guarded();
        return;
    }
    // Unlocked meanwhile: the handler on the loop thread may change packets
    // while this thread waits for it.
    mutex_.unlock();
    host->Notify(guarded);
    mutex_.lock();
}

void TCmDataPacketManager::TimeoutExpired() {
    const std::lock_guard lock(mutex_);
    if (!active_ || inEvent_ || scanning_ || collecting_ == nullptr) return;
    TCmDataPacket* packet = collecting_;
    EnterEvent();
    packet->enabled_ = false;
    RunNotification([packet] {
        if (packet->OnTimeout) packet->OnTimeout(*packet);
    });
    // The bytes of the timed-out packet are discarded with everything else.
    buffer_.Clear();
    if (IsAttached(packet) && packet->restartAfterTimeout_) packet->enabled_ = true;
    LeaveEvent();
    RunPendingScans();
}

void TCmDataPacketManager::PacketSwitched(TCmDataPacket& packet) {
    const std::lock_guard lock(mutex_);
    // Inside an event every packet is stopped and the enabled ones restart at its end.
    if (!active_ || inEvent_) return;
    if (packet.enabled_)
        StartPacketAndScan(packet);
    else
        StopPacket(packet);  // a packet that held the lock asks for a re-scan
    RunPendingScans();
}

void TCmDataPacketManager::StartPacketAndScan(TCmDataPacket& packet) {
    StartPacket(packet);
    // Only a packet that may examine the bytes now needs them from the start;
    // a packet collecting already has seen them.
    if (collecting_ == &packet || collecting_ == nullptr) RequestRescan(0);
}

void TCmDataPacketManager::StartPacket(TCmDataPacket& packet) {
    StopPacket(packet);
    packet.ResetMatch();
    if (packet.startCond_ == scString) {
        packet.state_ = TCmDataPacket::State::kWaitingForStart;
    } else if (collecting_ == nullptr) {
        EnterCollecting(packet);
    } else {
        packet.state_ = TCmDataPacket::State::kWaitingForLock;
    }
}

void TCmDataPacketManager::StopPacket(TCmDataPacket& packet) {
    LeaveCollecting(packet);
    packet.state_ = TCmDataPacket::State::kIdle;
}

bool TCmDataPacketManager::TryEnterCollecting(TCmDataPacket& packet) {
    if (collecting_ != nullptr && collecting_ != &packet) return false;
    EnterCollecting(packet);
    return true;
}

void TCmDataPacketManager::EnterCollecting(TCmDataPacket& packet) {
    collecting_ = &packet;
    packet.state_ = TCmDataPacket::State::kCollecting;
    if (host_ != nullptr && packet.timeOut_ != 0) host_->ArmTimeout(packet.timeOut_);
    for (TCmDataPacket* other : packets_) {
        if (other != &packet && other->enabled_ && other->state_ != TCmDataPacket::State::kIdle)
            StartPacket(*other);
    }
}

void TCmDataPacketManager::LeaveCollecting(TCmDataPacket& packet) {
    if (collecting_ != &packet) return;
    collecting_ = nullptr;
    if (host_ != nullptr) host_->ArmTimeout(0);
    RequestRescan(0);
}

void TCmDataPacketManager::RequestRescan(std::size_t from) {
    rescanFrom_ = rescanPending_ ? std::min(rescanFrom_, from) : from;
    rescanPending_ = true;
}

void TCmDataPacketManager::RunPendingScans() {
    if (scanning_ || inEvent_) return;  // the running scan or event picks the request up
    scanning_ = true;
    while (rescanPending_ && active_) {
        rescanPending_ = false;
        ScanPass(rescanFrom_);
    }
    rescanPending_ = false;
    scanning_ = false;
}

void TCmDataPacketManager::ScanPass(std::size_t from) {
    if (collecting_ != nullptr) {
        TCmDataPacket& packet = *collecting_;
        if (packet.Scan(buffer_, from) == TCmDataPacket::ScanResult::kCompleted) Deliver(packet);
    } else {
        for (std::size_t i = 0; i < packets_.size(); ++i) {
            TCmDataPacket& packet = *packets_[i];
            if (!packet.enabled_ || packet.state_ == TCmDataPacket::State::kIdle) continue;
            if (packet.Scan(buffer_, from) == TCmDataPacket::ScanResult::kCompleted) {
                Deliver(packet);
                break;
            }
            if (collecting_ != nullptr) break;  // later packets do not see these bytes now
        }
    }
    if (!rescanPending_ && !HoldsBytes()) buffer_.Clear();
}

bool TCmDataPacketManager::HoldsBytes() const {
    return std::any_of(packets_.begin(), packets_.end(), [](const TCmDataPacket* packet) {
        return packet->enabled_ && packet->state_ != TCmDataPacket::State::kIdle &&
               packet->begin_ != TCmDataPacket::kNone;
    });
}

void TCmDataPacketManager::DropPendingAndRestart() {
    buffer_.Clear();
    for (TCmDataPacket* packet : packets_) {
        if (packet->enabled_) StartPacket(*packet);
    }
    rescanPending_ = false;
}

void TCmDataPacketManager::EnterEvent() {
    inEvent_ = true;
    for (TCmDataPacket* packet : packets_) StopPacket(*packet);
}

void TCmDataPacketManager::LeaveEvent() {
    inEvent_ = false;
    if (active_) {
        for (std::size_t i = 0; i < packets_.size(); ++i) {
            if (packets_[i]->enabled_) StartPacket(*packets_[i]);
        }
    }
    RequestRescan(0);
}

void TCmDataPacketManager::Deliver(TCmDataPacket& packet) {
    EnterEvent();
    packet.enabled_ = false;
    TCmDataPacket* delivered = &packet;
    const std::size_t lastByte = packet.lastByte_;
    // A copy, so a handler that waits for more input cannot see the bytes
    // move. One string serves every delivery: no two deliveries overlap.
    payload_.assign(reinterpret_cast<const char*>(buffer_.data()) + packet.PayloadStart(), packet.PayloadSize());
    const std::string& payload = payload_;
    RunNotification([delivered, &payload] {
        if (delivered->OnPacket)
            delivered->OnPacket(*delivered, reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
        if (delivered->OnStringPacket) delivered->OnStringPacket(*delivered, payload);
    });
    buffer_.RemoveFront(lastByte + 1);
    if (payload_.capacity() > PacketBuffer::kGrowthStep) payload_ = std::string();  // after a huge packet
    if (IsAttached(delivered) && delivered->autoEnable_) delivered->enabled_ = true;
    LeaveEvent();
}

std::size_t TCmDataPacketManager::PendingBytes() const {
    const std::lock_guard lock(mutex_);
    return buffer_.size();
}

const TCmDataPacket* TCmDataPacketManager::CollectingPacket() const {
    const std::lock_guard lock(mutex_);
    return collecting_;
}

bool TCmDataPacketManager::Busy() const {
    const std::lock_guard lock(mutex_);
    return scanning_ || inEvent_;
}

bool TCmDataPacketManager::IsAttached(const TCmDataPacket* packet) const {
    return std::find(packets_.begin(), packets_.end(), packet) != packets_.end();
}

}  // namespace morvik::comm
