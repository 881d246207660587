#pragma once
// The dispatching machinery shared by the poll(2) loop and the virtual-time
// loop: the post queue, the timer queue, the descriptor watches, the order in
// which one processing step runs them, and the nesting rules. The two loops
// differ only in their clock and in how they wait.
//
// Rules of one processing step (ProcessPendingEvents, and the end of every
// WaitForEvents):
//  1. Posted tasks that were queued when the step began run, once each, in
//     posting order (per posting thread when several threads post). Tasks
//     posted during the step run in the next step.
//  2. Then handlers of watched descriptors that are ready.
//  3. Then timers due at the step's moment, ordered by (deadline, start
//     sequence): timers due together run in the order they were started. So
//     posts ready at a moment run before timers due at that same moment, as a
//     window's message queue runs before its timer messages.
// A timer stopped or restarted by another callback of the same step does not
// fire. A one-shot timer is inactive from the moment it fires (also inside its
// own callback). A repeating timer is rescheduled before its callback runs, to
// deadline + interval, so it keeps its cadence however long the callback
// waits; if that moment has already passed (the loop fell behind a whole
// interval) it fires once and counts the next interval from now. Repeating
// intervals below 1 ms count as 1 ms, so a repeating timer can never keep the
// clock from moving.
//
// Nesting: any handler may call ProcessPendingEvents, WaitForEvents, RunUntil
// or Run again. Inner steps run other posts, timers and descriptors, but never
// a timer whose callback is still running, nor a watch whose handler is still
// running (no recursion of the same timer or watch); those are also left out
// when a wait decides how long it may sleep.
//
// Threads: every operation may be called from any thread; handlers run on the
// loop thread, which is the thread that last entered the loop from outside
// (Run, ProcessPendingEvents, WaitForEvents), initially the constructing one.
// Changes made from another thread wake a loop that is waiting.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "platform/event_loop.h"

namespace morvik::platform {

class LoopCore : public EventLoop {
public:
    ~LoopCore() override;

    void Post(Task task) override;
    TimerId StartTimer(std::int64_t intervalMs, bool repeating, Task onTimeout) override;
    void StopTimer(TimerId id) override;
    bool IsTimerActive(TimerId id) const override;
    // Descriptor readiness is level-triggered and checked again just before
    // a handler runs if any other handler ran since the poll, so handlers see
    // current readiness; descriptors should still be non-blocking. A watch
    // with no requested events is not polled at all (hang-ups included). A
    // descriptor closed while watched is reported once as kError and its
    // watch removed, so a forgotten watch cannot spin the loop.
    WatchId WatchFd(int fd, unsigned events, std::function<void(unsigned)> handler) override;
    void SetWatchEvents(WatchId id, unsigned events) override;
    void UnwatchFd(WatchId id) override;

    void ProcessPendingEvents() override;
    // A negative maxMs waits without limit.
    void WaitForEvents(std::int64_t maxMs) override;
    // Quit may come before Run (also from another thread): Run then returns at
    // once. Once Quit was called, the step that runs Run's own wait stops
    // after the current handler; what it did not run stays pending.
    int Run() override;
    // Run's result when nothing is left that could ever run (only the virtual loop gets there).
    static constexpr int kIdleExitCode = -1;
    void Quit(int code = 0) override;
    bool IsLoopThread() const override;

    // Posted tasks not yet run.
    std::size_t PendingPosts() const;

protected:
    LoopCore();

    // What one poll found: the watches that are ready and whether the wake-up
    // descriptor (if any) fired.
    struct PollResult {
        std::vector<std::pair<WatchId, short>> ready;
        bool woken = false;
        std::uint64_t handlersRunBefore = 0;  // to tell whether the result went stale
    };

    // Waits at most maxMs (negative: no limit) and then runs one step. Returns
    // false only when nothing could ever become ready (the virtual loop idle
    // with no timers left); Run then returns.
    virtual bool WaitAndDispatch(std::int64_t maxMs, bool stopOnQuit) = 0;
    // Interrupts a blocking wait; called, under the state lock, after changes
    // made from a thread other than the loop thread. The default does nothing.
    virtual void Wake() {}
    // Drops everything queued (a worker waiting in InvokeBlocking wakes) and
    // stops calling Wake. The first thing a loop's destructor does, so that a
    // thread still inside Post is done with the loop before it goes away.
    void ShutDown();

    // Runs one processing step at NowMs(); returns whether any handler ran.
    // With stopOnQuit, stops between handlers once Quit was called.
    bool DispatchStep(const PollResult& polled, bool stopOnQuit);
    // Polls the watched descriptors (and wakeFd unless negative) for at most
    // timeoutMs (negative: no limit), retrying after signal interruptions.
    PollResult PollWatches(std::int64_t timeoutMs, int wakeFd) const;
    // True when a step run now would run a posted task or a timer.
    bool HasReadyWork() const;
    // Deadline of the earliest timer that may fire (running callbacks excluded).
    std::optional<std::int64_t> NextTimerDeadline() const;
    // Keeps IsLoopThread true for the caller and counts the nesting depth.
    class DispatchScope {
    public:
        explicit DispatchScope(LoopCore& loop);
        ~DispatchScope();
        DispatchScope(const DispatchScope&) = delete;
        DispatchScope& operator=(const DispatchScope&) = delete;

    private:
        LoopCore& loop_;
    };

private:
    struct TimerEntry {
        std::int64_t intervalMs;
        bool repeating;
        std::int64_t deadline;
        bool running = false;
        Task onTimeout;
    };
    struct WatchEntry {
        int fd;
        unsigned events;
        bool running = false;
        std::function<void(unsigned)> handler;
    };
    // Ids grow with every start, so (deadline, id) orders timers due together by start.
    using TimerKey = std::pair<std::int64_t, TimerId>;

    bool RunPosts(bool stopOnQuit);
    bool RunReadyWatches(const PollResult& polled, bool stopOnQuit);
    bool RunDueTimers(std::int64_t now, bool stopOnQuit);
    void WakeIfForeign();  // caller holds mutex_
    bool ShouldStop(bool stopOnQuit) const { return stopOnQuit && quitRequested_; }

    mutable std::mutex mutex_;
    std::deque<std::pair<std::uint64_t, Task>> posts_;  // (post sequence, task)
    std::uint64_t nextPostSequence_ = 0;
    std::map<TimerId, std::shared_ptr<TimerEntry>> timers_;
    std::set<TimerKey> timerQueue_;
    std::map<WatchId, std::shared_ptr<WatchEntry>> watches_;
    std::uint64_t nextId_ = 1;
    std::uint64_t handlersRun_ = 0;  // loop thread only
    bool wakeable_ = true;

    std::atomic<std::thread::id> loopThread_;
    int dispatchDepth_ = 0;  // loop thread only
    int runDepth_ = 0;       // loop thread only
    std::atomic<bool> quitRequested_ = false;
    std::atomic<int> quitCode_ = 0;
};

}  // namespace morvik::platform
