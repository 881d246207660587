#pragma once
// The event-loop seam: everything that waits, times or reacts to a device goes
// through this interface, so the same code runs on poll(2), on Qt, or in
// virtual time inside tests. The exact order in which a processing step runs
// posts, descriptors and timers, and the nesting rules, are in loop_core.h.

#include <cstdint>
#include <functional>

namespace morvik::platform {

class EventLoop {
public:
    using Task = std::function<void()>;
    using TimerId = std::uint64_t;  // 0 is never a valid id
    using WatchId = std::uint64_t;  // 0 is never a valid id

    // Readiness flags for WatchFd. kError and kHangup are only reported, never asked for.
    enum IoFlags : unsigned { kReadable = 1, kWritable = 2, kError = 4, kHangup = 8 };

    EventLoop() = default;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;
    virtual ~EventLoop() = default;

    // Monotonic milliseconds; virtual in tests.
    virtual std::int64_t NowMs() const = 0;

    // Runs the task later on the loop thread. Callable from any thread; every
    // task runs exactly once, in posting order.
    virtual void Post(Task task) = 0;

    // Starts a timer that calls onTimeout on the loop thread after intervalMs
    // (and every intervalMs after that when repeating). Timers due at the same
    // moment run in the order they were started.
    virtual TimerId StartTimer(std::int64_t intervalMs, bool repeating, Task onTimeout) = 0;
    // Harmless for unknown, expired or already stopped ids; safe from inside the timer's own callback.
    virtual void StopTimer(TimerId id) = 0;
    // True while a timer is pending (a one-shot timer stops being active when it fires).
    virtual bool IsTimerActive(TimerId id) const = 0;

    // Calls handler(readyFlags) on the loop thread while fd is ready for any of
    // the requested events (level-triggered).
    virtual WatchId WatchFd(int fd, unsigned events, std::function<void(unsigned)> handler) = 0;
    virtual void SetWatchEvents(WatchId id, unsigned events) = 0;
    // Harmless for unknown ids; safe from inside the watch's own handler.
    virtual void UnwatchFd(WatchId id) = 0;

    // Runs what is ready now (posted tasks, due timers, ready descriptors)
    // without waiting. Re-entrant: handlers may call it again (waits nest).
    virtual void ProcessPendingEvents() = 0;
    // Waits at most maxMs (negative: no limit) until something is ready, then
    // runs what is ready. Re-entrant. The virtual-time loop moves its clock
    // instead of sleeping.
    virtual void WaitForEvents(std::int64_t maxMs) = 0;

    // Runs until Quit; returns Quit's code. A virtual-time loop also returns
    // (with LoopCore::kIdleExitCode) once nothing is left to run.
    virtual int Run() = 0;
    // Makes the outermost Run return once the current handler is done.
    virtual void Quit(int code = 0) = 0;

    // True on the thread that runs the loop.
    virtual bool IsLoopThread() const = 0;

    // From a worker thread: runs the task on the loop thread and returns after it
    // ran (or after the loop was destroyed). On the loop thread: runs it at once.
    void InvokeBlocking(const Task& task);

    // Pumps events until done() holds or timeoutMs passed on this loop's clock; returns done().
    bool RunUntil(const std::function<bool()>& done, std::int64_t timeoutMs);
};

// A restartable timer in the style of a window timer: one interval, one handler,
// enabled or not. Stopping it from inside its own handler is safe.
class Timer {
public:
    explicit Timer(EventLoop& loop, std::function<void()> onTimeout = {});
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void SetHandler(std::function<void()> onTimeout) { onTimeout_ = std::move(onTimeout); }
    // Changing the interval of a running timer restarts it with the new interval.
    void SetInterval(std::int64_t ms);
    std::int64_t Interval() const { return intervalMs_; }
    void SetSingleShot(bool singleShot) { singleShot_ = singleShot; }
    // Starts or restarts the countdown from now.
    void Start();
    void Stop();
    bool IsActive() const;
    // How often Start ran: a wait that armed the timer can tell whether
    // someone else has restarted it since.
    std::uint64_t Starts() const { return starts_; }
    // Enabled := on, as a window timer: True (re)starts, False stops.
    void SetEnabled(bool on) { on ? Start() : Stop(); }

private:
    void Fire();

    EventLoop& loop_;
    std::function<void()> onTimeout_;
    std::int64_t intervalMs_ = 1000;
    bool singleShot_ = false;
    EventLoop::TimerId id_ = 0;
    std::uint64_t starts_ = 0;
};

}  // namespace morvik::platform
