#pragma once
// TCmWin32Dispatcher: the serial port's dispatcher. Three threads run while
// it is started:
//  - the com thread waits for device events (received bytes, hang-up) and
//    hands each to the dispatcher thread, then waits until it was processed;
//  - the dispatcher thread moves received bytes into the receive ring and
//    delivers the triggers, on each device event and at least every 50 ms
//    (timers); synchronous handlers cross into the loop thread;
//  - the output thread writes the output queue to the device, waiting for
//    room in the device when it is full.
// Start, stop, writes and line changes come from the loop thread. A stop
// from the loop thread serves the loop's posted calls while it waits for the
// threads, so a dispatcher thread in the middle of a synchronous hand-over can
// finish; a stop from inside a delivery only sets close-pending.

#include <atomic>
#include <thread>

#include "comm/auto_reset_event.h"
#include "comm/base_dispatcher.h"
#include "comm/byte_ring.h"
#include "platform/serial_device.h"

namespace morvik::comm {

class TCmWin32Dispatcher final : public TCmBaseDispatcher {
public:
    static constexpr int kPassIntervalMs = 50;

    explicit TCmWin32Dispatcher(platform::EventLoop& loop);
    ~TCmWin32Dispatcher() override;

protected:
    int OpenDevice(const PortSettings& settings) override;
    void CloseDevice() override;
    int SetDeviceLine(const platform::SerialLine& line) override;
    bool SetDeviceDtr(bool on) override;
    bool SetDeviceRts(bool on) override;
    std::uint8_t ReadDeviceModemStatus() override;
    int DeviceInputCount() override;
    int ReadDevice(std::uint8_t* destination, int count) override;
    void PurgeDeviceInput() override;
    int OutputFreeLocked() override;
    int OutputCountLocked() override;
    int PutOutputLocked(const std::uint8_t* data, int count) override;
    void DiscardOutputLocked() override;
    int StartDispatch() override;
    void StopDispatch() override;
    void OnClosePending() override;

private:
    void ComThread();
    void DispatchThread();
    void OutputThread();
    // Writes queued output until the queue is empty (true) or the device takes no more.
    bool WritePending();
    // Wakes every thread so each sees the kill flag.
    void WakeAll();
    // Called by each thread as it ends; the last one clears the started flag.
    void ThreadEnded(std::atomic<bool>& ended);
    // Joins a thread; on the loop thread it keeps serving the loop meanwhile.
    void JoinServingLoop(std::thread& thread, const std::atomic<bool>& ended);

    platform::SerialDevice device_;
    ByteRing output_;  // the output queue, under outputLock_

    std::atomic<bool> kill_{false};
    std::atomic<int> running_{0};
    AutoResetEvent deviceEvent_;    // com thread -> dispatcher thread
    AutoResetEvent processed_;      // dispatcher thread -> com thread
    AutoResetEvent outputRequest_;  // writers, flushes and stops -> output thread
    std::atomic<bool> comEnded_{false};
    std::atomic<bool> dispatchEnded_{false};
    std::atomic<bool> outputEnded_{false};
    std::thread comThread_;
    std::thread dispatchThread_;
    std::thread outputThread_;
};

}  // namespace morvik::comm
