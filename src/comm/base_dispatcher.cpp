#include "comm/base_dispatcher.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "comm/dispatcher_registry.h"
#include "comm/error_codes.h"
#include "platform/event_loop.h"

namespace morvik::comm {

namespace {

constexpr int kDrainPollMs = 2;
constexpr int kDrainPolls = 5000;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool IsDataKind(TriggerKind kind) { return kind == TriggerKind::kDataAvailable || kind == TriggerKind::kData; }

}  // namespace

int CharacterTimesMs(const platform::SerialLine& line) {
    if (line.baud <= 0) return 0;
    const double stopBits = line.dataBits == 5 && line.stopBits == 2 ? 1.5 : line.stopBits;
    const double parityBits = line.parity == platform::SerialParity::kNone ? 0 : 1;
    const double bitsPerCharacter = 1 + line.dataBits + parityBits + stopBits;
    double ms = 18 * bitsPerCharacter * 1000.0 / line.baud;
    if (ms < 1) ms *= 2;
    return static_cast<int>(std::ceil(ms));
}

// Marks the dispatcher as delivering for its lifetime; on the way out (also by
// an exception from a handler) drops the handlers removed meanwhile.
class TCmBaseDispatcher::DeliveryScope {
public:
    explicit DeliveryScope(TCmBaseDispatcher& dispatcher) : d_(dispatcher) {
        std::lock_guard lock(d_.triggerLock_);
        ++d_.deliveryDepth_;
        // Counted under the same lock: from here on no entry is erased until the scope ends.
        handlerCount_ = d_.handlerServiceNeeded_ ? d_.handlers_.size() : 0;
    }
    std::size_t HandlerCount() const { return handlerCount_; }
    ~DeliveryScope() {
        std::lock_guard lock(d_.triggerLock_);
        if (--d_.deliveryDepth_ > 0 || !d_.removalRequested_) return;
        std::erase_if(d_.handlers_, [](const HandlerEntry& entry) { return entry.removed; });
        d_.removalRequested_ = false;
        d_.handlerServiceNeeded_ = !d_.handlers_.empty();
    }
    DeliveryScope(const DeliveryScope&) = delete;
    DeliveryScope& operator=(const DeliveryScope&) = delete;

private:
    TCmBaseDispatcher& d_;
    std::size_t handlerCount_ = 0;
};

TCmBaseDispatcher::TCmBaseDispatcher(platform::EventLoop& loop)
    : loop_(loop), registryHandle_(dispatcher_registry::Register(*this)) {}

TCmBaseDispatcher::~TCmBaseDispatcher() { dispatcher_registry::Unregister(registryHandle_); }

std::string TCmBaseDispatcher::Description() const {
    std::lock_guard lock(triggerLock_);
    return description_;
}

void TCmBaseDispatcher::SetDescription(std::string description) {
    std::lock_guard lock(triggerLock_);
    description_ = std::move(description);
}

bool TCmBaseDispatcher::InDelivery() const {
    std::lock_guard lock(triggerLock_);
    return deliveryDepth_ > 0;
}

// ---- start and stop ----

int TCmBaseDispatcher::StartPort(const PortSettings& settings) {
    if (started_) return kDispatcherAlreadyStarted;
    if (int rc = OpenDevice(settings); rc < 0) return rc;
    DriveDTR(settings.dtr);
    DriveRTS(settings.rts);
    {
        std::lock_guard lock(triggerLock_);
        triggers_ = TriggerTable{};
    }
    RefreshModemStatus();
    if (int rc = SetDeviceLine(settings.line); rc < 0) {
        CloseDevice();
        SetDeviceHandle(-1);
        return rc;
    }
    {
        std::lock_guard lock(triggerLock_);
        line_ = settings.line;
    }
    closePending_ = false;
    if (int rc = StartDispatch(); rc < 0) {
        CloseDevice();
        SetDeviceHandle(-1);
        return rc;
    }
    started_ = true;
    return 0;
}

void TCmBaseDispatcher::StopPort() {
    if (deviceHandle_ < 0 && !started_) return;
    FlushOutput();
    FlushInput();
    if (InDelivery()) {
        closePending_ = true;
        OnClosePending();
        return;
    }
    CompleteStop();
}

void TCmBaseDispatcher::CompleteStop() {
    StopDispatch();
    started_ = false;
    CloseDevice();
    SetDeviceHandle(-1);
}

// ---- line ----

int TCmBaseDispatcher::ProgramLine(int baud, int parity, int dataBits, int stopBits) {
    const platform::SerialLine current = Line();
    platform::SerialLine wanted = current;
    if (baud != kKeepBaud) wanted.baud = baud;
    if (parity != kKeepParity) wanted.parity = static_cast<platform::SerialParity>(parity);
    if (dataBits != kKeepDataBits) wanted.dataBits = dataBits;
    if (stopBits != kKeepStopBits) wanted.stopBits = stopBits == 0 ? 1 : std::min(stopBits, 2);
    if (wanted == current) return 0;

    // Bytes still on their way out would be garbled by the new setting.
    for (int poll = 0; poll < kDrainPolls && OutputCount() > 0; ++poll) SleepMs(kDrainPollMs);
    SleepMs(CharacterTimesMs(current));

    if (int rc = SetDeviceLine(wanted); rc < 0) return rc;
    std::lock_guard lock(triggerLock_);
    line_ = wanted;
    return 0;
}

platform::SerialLine TCmBaseDispatcher::Line() const {
    std::lock_guard lock(triggerLock_);
    return line_;
}

bool TCmBaseDispatcher::DriveDTR(bool on) {
    if (!SetDeviceDtr(on)) return false;
    std::lock_guard lock(triggerLock_);
    dtr_ = on;
    return true;
}

bool TCmBaseDispatcher::DriveRTS(bool on) {
    if (!SetDeviceRts(on)) return false;
    std::lock_guard lock(triggerLock_);
    rts_ = on;
    return true;
}

bool TCmBaseDispatcher::DtrState() const {
    std::lock_guard lock(triggerLock_);
    return dtr_;
}

bool TCmBaseDispatcher::RtsState() const {
    std::lock_guard lock(triggerLock_);
    return rts_;
}

std::uint8_t TCmBaseDispatcher::ModemStatus() const {
    std::lock_guard lock(triggerLock_);
    return modemStatus_;
}

int TCmBaseDispatcher::SetDeviceLine(const platform::SerialLine&) { return 0; }
bool TCmBaseDispatcher::SetDeviceDtr(bool) { return false; }
bool TCmBaseDispatcher::SetDeviceRts(bool) { return false; }
std::uint8_t TCmBaseDispatcher::ReadDeviceModemStatus() { return 0; }

void TCmBaseDispatcher::RefreshModemStatus() {
    const std::uint8_t status = ReadDeviceModemStatus();
    std::lock_guard lock(triggerLock_);
    modemDelta_ |= static_cast<std::uint8_t>(status ^ modemStatus_);
    modemStatus_ = status;
}

void TCmBaseDispatcher::NoteLineErrors(std::uint32_t errors) {
    std::lock_guard lock(triggerLock_);
    lineErrors_ |= errors;
}

// ---- output ----

int TCmBaseDispatcher::WriteBlock(const void* data, int count) {
    if (count <= 0) return 0;
    std::lock_guard lock(outputLock_);
    if (count > OutputFreeLocked()) return kOutputBufferTooSmall;
    if (PutOutputLocked(static_cast<const std::uint8_t*>(data), count) == 0) return kPutBlockFail;
    outputSentPending_ = true;
    return 0;
}

int TCmBaseDispatcher::OutputCount() {
    std::lock_guard lock(outputLock_);
    return OutputCountLocked();
}

int TCmBaseDispatcher::OutputFree() {
    std::lock_guard lock(outputLock_);
    return OutputFreeLocked();
}

void TCmBaseDispatcher::FlushOutput() {
    std::lock_guard lock(outputLock_);
    DiscardOutputLocked();
    outputSentPending_ = false;
}

// ---- input ----

int TCmBaseDispatcher::Receive() {
    int moved = 0;
    bool failed = false;
    {
        std::lock_guard lock(receiveLock_);
        if (ring_.Full() || DeviceInputCount() <= 0) return 0;
        // At most two reads: up to the end of the block, then from its start up to the read position.
        for (int part = 0; part < 2 && !ring_.Full(); ++part) {
            const auto span = ring_.FreeRun();
            const int got = ReadDevice(span.data(), static_cast<int>(span.size()));
            if (got < 0) {
                failed = true;
                break;
            }
            ring_.Commit(static_cast<std::size_t>(got));
            moved += got;
            if (static_cast<std::size_t>(got) < span.size()) break;
        }
    }
    if (failed) NoteLineErrors(kLineDeviceError);  // the trigger lock comes first, so not under the receive lock
    return moved;
}

bool TCmBaseDispatcher::ReceiveRingFull() const {
    std::lock_guard lock(receiveLock_);
    return ring_.Full();
}

int TCmBaseDispatcher::ReadBlock(void* destination, int count) {
    if (count <= 0) return 0;
    const std::span target(static_cast<std::uint8_t*>(destination), static_cast<std::size_t>(count));
    std::lock_guard lock(receiveLock_);
    if (dataDelivery_) {
        if (flushedInDelivery_) return kBufferIsEmpty;
        const auto unread = ring_.Count() - static_cast<std::size_t>(handlerTaken_);
        if (static_cast<std::size_t>(count) > unread) return kBufferIsEmpty;
        ring_.CopyOut(ring_.ReadMark() + static_cast<std::size_t>(handlerTaken_), target);
        handlerTaken_ += count;
        return count;
    }
    if (static_cast<std::size_t>(count) > ring_.Count()) return kBufferIsEmpty;
    ring_.Take(target);
    return count;
}

int TCmBaseDispatcher::InputCount() const {
    std::lock_guard lock(receiveLock_);
    if (!dataDelivery_) return static_cast<int>(ring_.Count());
    if (flushedInDelivery_) return 0;
    return static_cast<int>(ring_.Count()) - handlerTaken_;
}

void TCmBaseDispatcher::FlushInput() {
    std::lock_guard triggerLock(triggerLock_);
    std::lock_guard lock(receiveLock_);
    PurgeDeviceInput();
    if (dataDelivery_) {
        flushedInDelivery_ = true;  // the delivery consumes everything when it ends
    } else {
        ring_.Clear();
    }
    lastExamined_ = lastNotified_ = ring_.WriteMark();
    triggers_.ResetDataMatches();
}

// ---- handlers ----

void TCmBaseDispatcher::AddEventHandler(const void* context, TriggerHandler handler, bool synchronous) {
    std::lock_guard lock(triggerLock_);
    handlers_.push_back(HandlerEntry{context, std::move(handler), synchronous, false});
    handlerServiceNeeded_ = true;
}

void TCmBaseDispatcher::RemoveEventHandler(const void* context) {
    std::lock_guard lock(triggerLock_);
    for (HandlerEntry& entry : handlers_) {
        if (entry.context == context) entry.removed = true;
    }
    if (deliveryDepth_ > 0) {
        removalRequested_ = true;  // the running delivery still walks the list
        return;
    }
    std::erase_if(handlers_, [](const HandlerEntry& entry) { return entry.removed; });
    handlerServiceNeeded_ = !handlers_.empty();
}

// ---- triggers ----

int TCmBaseDispatcher::NewTimerTrigger() {
    std::lock_guard lock(triggerLock_);
    return triggers_.NewTimer();
}

int TCmBaseDispatcher::ArmTimerTrigger(int handle, Ticks ticks, bool active) {
    const Ticks now = CurrentTicks(loop_);
    std::lock_guard lock(triggerLock_);
    return triggers_.ArmTimer(handle, ticks, active, now);
}

int TCmBaseDispatcher::AddDataTrigger(const std::string& match) {
    std::lock_guard lock(triggerLock_);
    return triggers_.AddData(match);
}

int TCmBaseDispatcher::AddStatusTrigger(StatusKind kind, int value) {
    std::lock_guard lock(triggerLock_);
    return triggers_.AddStatus(kind, value);
}

int TCmBaseDispatcher::ArmStatusTrigger(int handle) {
    std::lock_guard lock(triggerLock_);
    return triggers_.ArmStatus(handle);
}

int TCmBaseDispatcher::DropTrigger(int handle) {
    std::lock_guard lock(triggerLock_);
    if (handle == kLengthTriggerHandle) {
        lengthThreshold_ = 0;
        return 0;
    }
    return triggers_.Drop(handle);
}

void TCmBaseDispatcher::SetLengthTrigger(int threshold) {
    std::lock_guard lock(triggerLock_);
    lengthThreshold_ = std::max(threshold, 0);
}

int TCmBaseDispatcher::LengthTrigger() const {
    std::lock_guard lock(triggerLock_);
    return lengthThreshold_;
}

TriggerSet TCmBaseDispatcher::StashTriggers() const {
    std::lock_guard lock(triggerLock_);
    return triggers_.Triggers();
}

void TCmBaseDispatcher::ReinstateTriggers(const TriggerSet& triggers) {
    std::lock_guard lock(triggerLock_);
    triggers_.Reinstate(triggers);
}

// ---- delivery ----

bool TCmBaseDispatcher::Deliver(const TriggerEvent& event) {
    DeliveryScope scope(*this);
    const std::size_t handlerCount = scope.HandlerCount();
    if (handlerCount == 0) return false;  // no handler service needed
    const bool data = IsDataKind(event.kind);
    if (data) {
        std::lock_guard lock(receiveLock_);
        dataDelivery_ = true;
        mostTaken_ = 0;
        flushedInDelivery_ = false;
    }
    // Ends the read accounting of a data delivery, also when a handler throws.
    struct DataDeliveryEnd {
        TCmBaseDispatcher* d;
        ~DataDeliveryEnd() {
            if (d == nullptr) return;
            std::lock_guard lock(d->receiveLock_);
            if (d->flushedInDelivery_) {
                d->ring_.Clear();
            } else {
                d->ring_.Consume(static_cast<std::size_t>(d->mostTaken_));
            }
            d->dataDelivery_ = false;
        }
    } dataEnd{data ? this : nullptr};

    bool completed = true;
    for (std::size_t i = 0; i < handlerCount; ++i) {
        HandlerEntry entry;
        {
            std::lock_guard lock(triggerLock_);
            if (handlers_[i].removed) continue;
            entry = handlers_[i];
        }
        if (data) {
            std::lock_guard lock(receiveLock_);
            handlerTaken_ = 0;
        }
        if (entry.synchronous) {
            loop_.InvokeBlocking([&] { entry.handler(event); });
        } else {
            entry.handler(event);
        }
        if (data) {
            std::lock_guard lock(receiveLock_);
            mostTaken_ = std::max(mostTaken_, handlerTaken_);
        }
        if (closePending_) {
            completed = false;
            break;
        }
    }
    if (event.kind == TriggerKind::kDataAvailable) {
        std::lock_guard lock(receiveLock_);
        if (!flushedInDelivery_ && mostTaken_ < event.param) completed = false;
    }
    return completed;
}

void TCmBaseDispatcher::RunAsDelivery(const std::function<void()>& action) {
    DeliveryScope scope(*this);
    action();
}

bool TCmBaseDispatcher::DeliverDataPass() {
    std::optional<int> available;
    std::vector<TriggerTable::DataHit> hits;
    {
        std::lock_guard triggerLock(triggerLock_);
        std::lock_guard lock(receiveLock_);
        const ByteRing::Mark end = ring_.WriteMark();
        lastExamined_ = std::max(lastExamined_, ring_.ReadMark());
        if (triggers_.HasDataTriggers()) {
            for (ByteRing::Mark at = lastExamined_; at < end && hits.empty(); ++at) {
                hits = triggers_.FeedData(ring_.At(at));
                lastExamined_ = at + 1;
            }
        } else {
            lastExamined_ = end;
        }
        // With a match the data up to its last byte are reported first; without
        // one everything unread, but only when more arrived since the last report.
        const ByteRing::Mark reportTo = hits.empty() ? end : lastExamined_;
        const auto unread = static_cast<int>(reportTo - ring_.ReadMark());
        if (lengthThreshold_ > 0 && reportTo != lastNotified_ && unread >= lengthThreshold_) {
            available = unread;
            lastNotified_ = reportTo;
        }
    }
    bool fired = false;
    bool completed = true;
    if (available) {
        fired = true;
        completed = Deliver(TriggerEvent{TriggerKind::kDataAvailable, *available, 0});
    }
    for (const auto& hit : hits) {
        if (closePending_) break;
        fired = true;
        completed = Deliver(TriggerEvent{TriggerKind::kData, hit.handle, hit.length}) && completed;
    }
    return fired && completed;
}

bool TCmBaseDispatcher::DeliverTimerPass() {
    const Ticks now = CurrentTicks(loop_);
    std::optional<int> handle;
    {
        std::lock_guard lock(triggerLock_);
        handle = triggers_.TakeExpiredTimer(now);
    }
    if (!handle) return false;
    Deliver(TriggerEvent{TriggerKind::kTimer, *handle, 0});
    return true;
}

std::optional<int> TCmBaseDispatcher::StatusConditionValue(const StatusTrigger& trigger) {
    switch (trigger.kind) {
        case StatusKind::kModemChange: {
            const auto changed = static_cast<std::uint8_t>(modemDelta_ & trigger.value);
            if (changed == 0) return std::nullopt;
            modemDelta_ = static_cast<std::uint8_t>(modemDelta_ & ~changed);
            return modemStatus_;
        }
        case StatusKind::kLineError: {
            const std::uint32_t errors = lineErrors_ & static_cast<std::uint32_t>(trigger.value);
            if (errors == 0) return std::nullopt;
            lineErrors_ &= ~errors;
            return static_cast<int>(errors);
        }
        case StatusKind::kOutputFree: {
            std::lock_guard lock(outputLock_);
            const int free = OutputFreeLocked();
            return free >= trigger.value ? std::optional<int>(free) : std::nullopt;
        }
        case StatusKind::kOutputUsed: {
            std::lock_guard lock(outputLock_);
            const int used = OutputCountLocked();
            return used <= trigger.value ? std::optional<int>(used) : std::nullopt;
        }
        case StatusKind::kOutputSent: {
            std::lock_guard lock(outputLock_);
            if (!outputSentPending_ || OutputCountLocked() > 0) return std::nullopt;
            outputSentPending_ = false;
            return 0;
        }
    }
    return std::nullopt;
}

bool TCmBaseDispatcher::DeliverStatusPass() {
    std::optional<std::pair<int, int>> hit;
    {
        std::lock_guard lock(triggerLock_);
        hit = triggers_.TakeStatusHit([this](const StatusTrigger& trigger) { return StatusConditionValue(trigger); });
    }
    if (!hit) return false;
    Deliver(TriggerEvent{TriggerKind::kStatus, hit->first, hit->second});
    return true;
}

void TCmBaseDispatcher::DeliverUntilQuiet() {
    bool fired = true;
    while (fired && !closePending_) {
        fired = DeliverStatusPass();
        fired = DeliverDataPass() || fired;
        fired = DeliverTimerPass() || fired;
    }
    std::lock_guard lock(triggerLock_);
    triggers_.ClearStatusHits();
}

}  // namespace morvik::comm
