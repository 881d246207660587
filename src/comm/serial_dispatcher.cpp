#include "comm/serial_dispatcher.h"

#include <algorithm>
#include <exception>
#include <system_error>

#include "comm/error_codes.h"
#include "comm/exception_display.h"
#include "platform/event_loop.h"

namespace morvik::comm {

namespace {

// How long the stopping loop thread sleeps between checks when nothing wakes it.
constexpr std::int64_t kServeSliceMs = 5;
// Bounds the wait for room in the device, so queued output is tried again
// now and then even if the device never says it has room.
constexpr int kWritableWaitMs = 50;

}  // namespace

TCmWin32Dispatcher::TCmWin32Dispatcher(platform::EventLoop& loop) : TCmBaseDispatcher(loop) {}

TCmWin32Dispatcher::~TCmWin32Dispatcher() {
    StopPort();
    CompleteStop();  // a stop left pending by a delivery ends here
}

// ---- device ----

int TCmWin32Dispatcher::OpenDevice(const PortSettings& settings) {
    if (int rc = device_.Open(settings.deviceName); rc < 0) return rc;
    if (int rc = device_.SetQueueSizes(settings.inSize, settings.outSize); rc < 0) {
        device_.Close();
        return rc;
    }
    {
        std::lock_guard lock(outputLock_);
        output_.Resize(static_cast<std::size_t>(std::max(settings.outSize, 0)));
    }
    SetDeviceHandle(0);  // a tty is never looked up by handle; 0 only marks it open
    return 0;
}

void TCmWin32Dispatcher::CloseDevice() { device_.Close(); }

int TCmWin32Dispatcher::SetDeviceLine(const platform::SerialLine& line) { return device_.SetLine(line); }

bool TCmWin32Dispatcher::SetDeviceDtr(bool on) { return device_.SetDtr(on); }

bool TCmWin32Dispatcher::SetDeviceRts(bool on) { return device_.SetRts(on); }

std::uint8_t TCmWin32Dispatcher::ReadDeviceModemStatus() {
    const auto lines = device_.ReadModemLines();
    if (!lines) return 0;
    return static_cast<std::uint8_t>((lines->cts ? kModemCts : 0) | (lines->dsr ? kModemDsr : 0) |
                                     (lines->ri ? kModemRing : 0) | (lines->dcd ? kModemDcd : 0));
}

int TCmWin32Dispatcher::DeviceInputCount() { return device_.InputCount(); }

int TCmWin32Dispatcher::ReadDevice(std::uint8_t* destination, int count) {
    return static_cast<int>(device_.Read(destination, static_cast<std::size_t>(count)));
}

void TCmWin32Dispatcher::PurgeDeviceInput() { device_.PurgeInput(); }

// ---- output ----

int TCmWin32Dispatcher::OutputFreeLocked() { return static_cast<int>(output_.Free()); }

int TCmWin32Dispatcher::OutputCountLocked() { return static_cast<int>(output_.Count()); }

int TCmWin32Dispatcher::PutOutputLocked(const std::uint8_t* data, int count) {
    const auto taken = output_.Put({data, static_cast<std::size_t>(count)});
    outputRequest_.Set();
    return static_cast<int>(taken);
}

void TCmWin32Dispatcher::DiscardOutputLocked() {
    // The output thread writes only under the output lock, so nothing of the
    // old queue can reach the device after this; a wait for room to write
    // the discarded bytes ends.
    output_.Clear();
    device_.PurgeOutput();
    device_.WakeWriter();
}

bool TCmWin32Dispatcher::WritePending() {
    bool failed = false;
    bool drained = false;
    {
        std::lock_guard lock(outputLock_);
        // Each write is non-blocking, so the lock is held only for a system call.
        while (true) {
            const auto chunk = output_.FilledRun();
            if (chunk.empty()) {
                drained = true;
                break;
            }
            const long written = device_.Write(chunk.data(), chunk.size());
            if (written == 0) break;  // the device is full; try again when it has room
            if (written < 0) {
                // A device that refuses a write (hung up) will not take it later either.
                failed = true;
                output_.Consume(chunk.size());
                continue;
            }
            output_.Consume(static_cast<std::size_t>(written));
        }
    }
    if (failed) NoteLineErrors(kLineDeviceError);
    return drained;
}

// ---- threads ----

int TCmWin32Dispatcher::StartDispatch() {
    kill_ = false;
    comEnded_ = dispatchEnded_ = outputEnded_ = false;
    running_ = 3;
    try {
        comThread_ = std::thread([this] { ComThread(); });
        dispatchThread_ = std::thread([this] { DispatchThread(); });
        outputThread_ = std::thread([this] { OutputThread(); });
    } catch (const std::system_error&) {
        kill_ = true;
        WakeAll();
        for (std::thread* thread : {&comThread_, &dispatchThread_, &outputThread_}) {
            if (thread->joinable()) thread->join();
        }
        running_ = 0;
        return kResourceNotAvailable;
    }
    return 0;
}

void TCmWin32Dispatcher::StopDispatch() {
    kill_ = true;
    WakeAll();
    JoinServingLoop(outputThread_, outputEnded_);
    JoinServingLoop(comThread_, comEnded_);
    JoinServingLoop(dispatchThread_, dispatchEnded_);
}

void TCmWin32Dispatcher::OnClosePending() { deviceEvent_.Set(); }

void TCmWin32Dispatcher::WakeAll() {
    outputRequest_.Set();
    device_.WakeWriter();
    device_.Wake();
    processed_.Set();
    deviceEvent_.Set();
}

void TCmWin32Dispatcher::JoinServingLoop(std::thread& thread, const std::atomic<bool>& ended) {
    if (!thread.joinable()) return;
    if (Loop().IsLoopThread()) {
        // The thread may be waiting for a synchronous call into this thread.
        while (!ended) Loop().WaitForEvents(kServeSliceMs);
    }
    thread.join();
}

void TCmWin32Dispatcher::ThreadEnded(std::atomic<bool>& ended) {
    // The stopper joins after seeing the flag, so this object lives until the thread has returned.
    ended = true;
    if (--running_ == 0) SetStarted(false);
    Loop().Post([] {});  // wakes a loop thread that is waiting for this thread to end
}

void TCmWin32Dispatcher::ComThread() {
    while (!kill_) {
        const auto event = device_.WaitForEvent(-1);
        if (kill_ || event == platform::SerialWaitResult::kHangup) break;
        if (event == platform::SerialWaitResult::kReadable) {
            deviceEvent_.Set();
            processed_.Wait();
        }
    }
    ThreadEnded(comEnded_);
}

void TCmWin32Dispatcher::DispatchThread() {
    bool eventUnprocessed = false;
    while (!kill_ && !ClosePending()) {
        if (deviceEvent_.WaitFor(kPassIntervalMs)) eventUnprocessed = true;
        if (kill_) break;
        try {
            Receive();
            RefreshModemStatus();
            DeliverUntilQuiet();
        } catch (...) {
            // A handler's failure is shown; reception carries on.
            ShowException(std::current_exception());
        }
        // While the ring is full the device keeps its bytes; the com thread
        // would only report them again, so it waits until there is room.
        if (eventUnprocessed && !ReceiveRingFull()) {
            eventUnprocessed = false;
            processed_.Set();
        }
    }
    // A stop requested inside a delivery completes here: the other threads end too.
    kill_ = true;
    WakeAll();
    ThreadEnded(dispatchEnded_);
}

void TCmWin32Dispatcher::OutputThread() {
    while (!kill_) {
        outputRequest_.Wait();
        while (!kill_ && !WritePending()) device_.WaitUntilWritable(kWritableWaitMs);
    }
    ThreadEnded(outputEnded_);
}

}  // namespace morvik::comm
