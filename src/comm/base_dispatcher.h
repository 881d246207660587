#pragma once
// TCmBaseDispatcher: the device-independent half of a port's dispatcher. It
// owns the 8192-byte receive ring, the trigger table and the handler list,
// and delivers triggers (data available, data strings, timers, status) to the
// handlers. Subclasses supply the device (serial or TCP) through the hooks
// below and decide on which thread the dispatch runs.
//
// Locks: the trigger lock (triggers, handlers, delivery state, line and modem
// state), the receive lock (ring and read accounting) and the output lock
// (output queue). When more than one is needed they are taken in that order;
// the receive lock may be held while the output lock is taken, never the
// reverse. Handlers are called with no lock held. Hooks run with the lock
// noted beside them held and must not call back into the public operations.
//
// Handlers are event handlers (a callable with a context pointer that names it
// for removal). The port component's own trigger events stay unassigned in
// this program, so there are no window handlers: the port needs no trigger
// messages, and the line packet is an event handler.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "comm/byte_ring.h"
#include "comm/ticks.h"
#include "comm/trigger_table.h"
#include "platform/serial_device.h"

namespace morvik::platform {
class EventLoop;
}

namespace morvik::comm {

enum class TriggerKind {
    kDataAvailable,  // param: count of unread bytes
    kData,           // param: handle; value: match length
    kTimer,          // param: handle
    kStatus,         // param: handle; value: the condition's value
};

struct TriggerEvent {
    TriggerKind kind = TriggerKind::kDataAvailable;
    int param = 0;
    int value = 0;
};

using TriggerHandler = std::function<void(const TriggerEvent&)>;

// Modem status bits (as a UART's modem status register) and line error bits.
inline constexpr std::uint8_t kModemCts = 0x10;
inline constexpr std::uint8_t kModemDsr = 0x20;
inline constexpr std::uint8_t kModemRing = 0x40;
inline constexpr std::uint8_t kModemDcd = 0x80;
inline constexpr std::uint32_t kLineBreak = 0x01;
inline constexpr std::uint32_t kLineFraming = 0x02;
inline constexpr std::uint32_t kLineOverrun = 0x04;
inline constexpr std::uint32_t kLineParity = 0x08;
inline constexpr std::uint32_t kLineDeviceError = 0x10;  // a device read failed

// What StartPort needs to open and program a device.
struct PortSettings {
    std::string deviceName;  // serial: the device path
    platform::SerialLine line;
    bool dtr = true;
    bool rts = true;
    int inSize = 4096;
    int outSize = 4096;
};

// ProgramLine values that keep the current setting.
inline constexpr int kKeepBaud = 0;
inline constexpr int kKeepParity = 5;
inline constexpr int kKeepDataBits = 9;
inline constexpr int kKeepStopBits = 3;

// About 18 character times of a line in whole milliseconds (a fraction counts
// as a full millisecond; below 1 ms the time is doubled first): how long a
// UART may still be shifting out after its queue ran empty.
int CharacterTimesMs(const platform::SerialLine& line);

class TCmBaseDispatcher {
public:
    static constexpr int kLengthTriggerHandle = 1;
    static constexpr std::size_t kReceiveRingSize = 8192;

    TCmBaseDispatcher(const TCmBaseDispatcher&) = delete;
    TCmBaseDispatcher& operator=(const TCmBaseDispatcher&) = delete;
    // Subclasses call StopPort() in their own destructor, while their hooks still exist.
    virtual ~TCmBaseDispatcher();

    int RegistryHandle() const { return registryHandle_; }
    // The open device's handle (descriptor or socket); -1 while none is open.
    int DeviceHandle() const { return deviceHandle_; }
    std::string Description() const;
    void SetDescription(std::string description);
    platform::EventLoop& Loop() const { return loop_; }

    // Opens the device, sets DTR and RTS, clears the triggers, programs the
    // line and starts the dispatch. 0, or the negative error with everything undone.
    int StartPort(const PortSettings& settings);
    // Flushes output and input, then stops the dispatch and closes the device.
    // While a delivery runs (on any thread: a handler may be waiting in a
    // hand-over to this very thread) only close-pending is set; the dispatch
    // winds down when the delivery ends (Started() turns false) and a later
    // StopPort, or the destructor, closes the device.
    void StopPort();
    // True from a successful StartPort until the dispatch has wound down.
    bool Started() const { return started_; }
    bool ClosePending() const { return closePending_; }
    bool InDelivery() const;

    // Reprograms the line when a value differs from the current one (see the
    // kKeep values; stop bits 0 count as 1, 4 and more as 2), after letting
    // the output queue drain. 0 or the device's error.
    virtual int ProgramLine(int baud, int parity, int dataBits, int stopBits);
    platform::SerialLine Line() const;
    // Raise or lower the line; false (state kept) when the device cannot.
    virtual bool DriveDTR(bool on);
    virtual bool DriveRTS(bool on);
    bool DtrState() const;
    bool RtsState() const;
    std::uint8_t ModemStatus() const;

    // Queues all count bytes for output: 0, -3006 when they do not fit the free
    // space, -3004 when the device took nothing.
    int WriteBlock(const void* data, int count);
    // Takes count unread bytes: count, or -3007 when fewer are unread (nothing
    // is taken then). Inside a data delivery every handler reads from the same
    // position; the ring advances by the most any handler took.
    int ReadBlock(void* destination, int count);
    int InputCount() const;
    int OutputCount();
    int OutputFree();
    // Discards the device input and everything unread (inside a data delivery:
    // the delivery consumes everything) and restarts the data-trigger matching.
    void FlushInput();
    // Abandons and discards pending output.
    void FlushOutput();

    // Adding sets the need for handler service. A removed handler is not called
    // again; a call already running on another thread still finishes. Inside a
    // delivery the list entry is dropped when the delivery ends.
    // A synchronous handler runs on the loop thread even when the delivery
    // comes from a dispatcher thread, which then waits for it.
    void AddEventHandler(const void* context, TriggerHandler handler, bool synchronous = false);
    void RemoveEventHandler(const void* context);

    int NewTimerTrigger();
    int ArmTimerTrigger(int handle, Ticks ticks, bool active);
    int AddDataTrigger(const std::string& match);
    int AddStatusTrigger(StatusKind kind, int value);
    int ArmStatusTrigger(int handle);
    // Handle 1 switches the data-available trigger off.
    int DropTrigger(int handle);
    // Unread bytes that make data available reported; 0 switches it off.
    void SetLengthTrigger(int threshold);
    int LengthTrigger() const;

    TriggerSet StashTriggers() const;
    void ReinstateTriggers(const TriggerSet& triggers);

protected:
    explicit TCmBaseDispatcher(platform::EventLoop& loop);

    // ---- device hooks ----
    // Opens the device and sizes its queues; calls SetDeviceHandle on success.
    virtual int OpenDevice(const PortSettings& settings) = 0;
    // Closes the device (harmless when closed); the dispatch is already stopped.
    virtual void CloseDevice() = 0;
    virtual int SetDeviceLine(const platform::SerialLine& line);  // default: nothing to program
    virtual bool SetDeviceDtr(bool on);                            // default: no such line
    virtual bool SetDeviceRts(bool on);                            // default: no such line
    // Modem status bits (kModem*); default none.
    virtual std::uint8_t ReadDeviceModemStatus();
    // Bytes waiting in the device (receive lock held).
    virtual int DeviceInputCount() = 0;
    // Non-blocking read: count, or negative on a device failure (receive lock held).
    virtual int ReadDevice(std::uint8_t* destination, int count) = 0;
    // Discards the device's pending input (receive lock held).
    virtual void PurgeDeviceInput() = 0;
    // Output side, all with the output lock held.
    virtual int OutputFreeLocked() = 0;
    virtual int OutputCountLocked() = 0;
    // Takes what fits and returns how much that was.
    virtual int PutOutputLocked(const std::uint8_t* data, int count) = 0;
    virtual void DiscardOutputLocked() = 0;
    // Starts the dispatch (threads or a timer); 0 or a negative error.
    virtual int StartDispatch() = 0;
    // Stops the dispatch from the loop thread, outside any delivery, and waits until it has.
    virtual void StopDispatch() = 0;
    // Tells a running dispatch that close-pending was just set.
    virtual void OnClosePending() {}

    // ---- building blocks of a dispatch ----
    void SetDeviceHandle(int handle) { deviceHandle_ = handle; }
    void SetStarted(bool started) { started_ = started; }
    // Moves what the device holds into the ring, as far as it has room: bytes moved.
    int Receive();
    bool ReceiveRingFull() const;
    // Re-reads the modem status (trigger lock taken inside).
    void RefreshModemStatus();
    void NoteLineErrors(std::uint32_t errors);
    // One pass each; true when something fired (for data: and the handlers took all).
    bool DeliverDataPass();
    bool DeliverTimerPass();
    bool DeliverStatusPass();
    // Status, data and timer passes until none fires, then the status hit marks are cleared.
    void DeliverUntilQuiet();
    // Runs action marked as a delivery, so a StopPort inside it only sets close-pending.
    void RunAsDelivery(const std::function<void()>& action);
    // Stops the dispatch and closes the device (loop thread, outside a delivery).
    void CompleteStop();

    // The locks, for subclasses that keep their own state under them.
    mutable std::mutex triggerLock_;
    mutable std::mutex receiveLock_;
    mutable std::mutex outputLock_;

private:
    class DeliveryScope;
    struct HandlerEntry {
        const void* context = nullptr;
        TriggerHandler handler;
        bool synchronous = false;
        bool removed = false;
    };

    bool Deliver(const TriggerEvent& event);
    std::optional<int> StatusConditionValue(const StatusTrigger& trigger);

    platform::EventLoop& loop_;
    const int registryHandle_;
    std::atomic<int> deviceHandle_{-1};
    std::atomic<bool> started_{false};
    std::atomic<bool> closePending_{false};

    // Under triggerLock_.
    std::string description_;
    TriggerTable triggers_;
    std::vector<HandlerEntry> handlers_;
    bool handlerServiceNeeded_ = false;
    int deliveryDepth_ = 0;
    bool removalRequested_ = false;
    int lengthThreshold_ = 0;
    platform::SerialLine line_;
    bool dtr_ = false;
    bool rts_ = false;
    std::uint8_t modemStatus_ = 0;
    std::uint8_t modemDelta_ = 0;
    std::uint32_t lineErrors_ = 0;

    // Under receiveLock_. The ring's block is allocated once, here, and never again.
    ByteRing ring_{kReceiveRingSize};
    ByteRing::Mark lastExamined_ = 0;  // data triggers have seen the bytes before this
    ByteRing::Mark lastNotified_ = 0;  // write mark at the last data-available delivery
    bool dataDelivery_ = false;
    int handlerTaken_ = 0;  // what the current handler of a data delivery read
    int mostTaken_ = 0;     // the most any handler of this data delivery read
    bool flushedInDelivery_ = false;

    std::atomic<bool> outputSentPending_{false};  // a write not yet seen fully sent
};

}  // namespace morvik::comm
