#pragma once
// The event-loop seam on top of Qt's own event loop, so that the link's timers,
// socket notifications, posted notifications and nested waits all run in the
// program's one GUI thread, between window events.
//
// Ordering, as on the other loops: posted tasks run once each in posting order
// (per posting thread when several threads post); a timer or a watched
// descriptor whose handler is running is not entered again by a nested wait
// until that handler returns; other timers, posts and descriptors do run inside
// nested waits. Stopping a timer or a watch from anywhere, its own handler
// included, is safe.
//
// An exception that escapes a timer, watch or posted task must not unwind
// through Qt: it is caught there and handed to the error report, and the
// program carries on.

#include <QObject>
#include <QPointer>

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/event_loop.h"
#include "platform/unique_fd.h"

class QEventLoop;
class QSocketNotifier;

namespace morvik::qt_loop {

class QtEventLoop final : public QObject, public platform::EventLoop {
    Q_OBJECT
public:
    // Needs a QCoreApplication; the loop thread is the thread that creates it.
    QtEventLoop();
    ~QtEventLoop() override;

    std::int64_t NowMs() const override;
    void Post(Task task) override;
    TimerId StartTimer(std::int64_t intervalMs, bool repeating, Task onTimeout) override;
    void StopTimer(TimerId id) override;
    bool IsTimerActive(TimerId id) const override;
    WatchId WatchFd(int fd, unsigned events, std::function<void(unsigned)> handler) override;
    void SetWatchEvents(WatchId id, unsigned events) override;
    void UnwatchFd(WatchId id) override;
    void ProcessPendingEvents() override;
    void WaitForEvents(std::int64_t maxMs) override;
    int Run() override;
    void Quit(int code = 0) override;
    bool IsLoopThread() const override;

    using ErrorReport = std::function<void(const std::string& text)>;
    void SetErrorReport(ErrorReport report) { errorReport_ = std::move(report); }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    struct TimerEntry {
        int qtId = 0;
        bool repeating = false;
        bool running = false;  // its callback is on the stack: no recursion
        std::shared_ptr<Task> task;
    };
    struct Watch;

    void RunPostedTasks();
    void KillTimerEntry(std::map<TimerId, TimerEntry>::iterator it);
    void OnNotifier(WatchId id);
    void ApplyWatchEvents(Watch& watch);
    template <typename Callback>
    void Guarded(Callback&& callback);

    const std::chrono::steady_clock::time_point start_;
    // Posted tasks wait here, under our own lock, so that what a worker thread
    // hands over is visibly ordered for it and for the thread sanitizer. The
    // wake-up is a count on an event descriptor that the loop watches: no Qt
    // object crosses threads, so nothing depends on Qt's own locking, which
    // the thread sanitizer cannot see. One wake-up is pending at a time.
    std::mutex postedMutex_;
    std::deque<Task> posted_;
    bool wakeUpPending_ = false;
    platform::UniqueFd wakeUpFd_;
    std::unique_ptr<QSocketNotifier> wakeUpNotifier_;
    TimerId nextTimerId_ = 1;
    std::map<TimerId, TimerEntry> timers_;
    std::map<int, TimerId> timerByQtId_;
    WatchId nextWatchId_ = 1;
    std::map<WatchId, std::shared_ptr<Watch>> watches_;
    ErrorReport errorReport_;
    QPointer<QEventLoop> outermostRun_;
    bool quitRequested_ = false;
    int quitCode_ = 0;
};

}  // namespace morvik::qt_loop
