#include "platform/event_loop.h"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace morvik::platform {

namespace {

// Wakes the waiting worker when the posted call ran, or when the loop dropped
// it unrun (loop destroyed), so a worker never waits forever.
struct Handshake {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;

    void Finish() {
        std::lock_guard lock(mutex);
        finished = true;
        done.notify_all();
    }
};

// Not copyable: a temporary copy would finish the handshake before the call ran.
class FinishOnDestroy {
public:
    explicit FinishOnDestroy(std::shared_ptr<Handshake> handshake) : handshake_(std::move(handshake)) {}
    ~FinishOnDestroy() { handshake_->Finish(); }
    FinishOnDestroy(const FinishOnDestroy&) = delete;
    FinishOnDestroy& operator=(const FinishOnDestroy&) = delete;

private:
    std::shared_ptr<Handshake> handshake_;
};

}  // namespace

void EventLoop::InvokeBlocking(const Task& task) {
    if (IsLoopThread()) {
        task();
        return;
    }
    auto handshake = std::make_shared<Handshake>();
    auto guard = std::make_shared<FinishOnDestroy>(handshake);
    Post([task, guard]() mutable {
        task();
        guard.reset();
    });
    guard.reset();  // the posted copy now decides when the worker wakes
    std::unique_lock lock(handshake->mutex);
    handshake->done.wait(lock, [&] { return handshake->finished; });
}

bool EventLoop::RunUntil(const std::function<bool()>& done, std::int64_t timeoutMs) {
    const std::int64_t deadline = NowMs() + timeoutMs;
    while (!done()) {
        const std::int64_t left = deadline - NowMs();
        if (left <= 0) return done();
        WaitForEvents(left);
    }
    return true;
}

Timer::Timer(EventLoop& loop, std::function<void()> onTimeout)
    : loop_(loop), onTimeout_(std::move(onTimeout)) {}

Timer::~Timer() { Stop(); }

void Timer::SetInterval(std::int64_t ms) {
    intervalMs_ = ms;
    if (IsActive()) Start();
}

void Timer::Start() {
    Stop();
    ++starts_;
    id_ = loop_.StartTimer(intervalMs_, !singleShot_, [this] { Fire(); });
}

void Timer::Stop() {
    if (id_ != 0) loop_.StopTimer(id_);
    id_ = 0;
}

bool Timer::IsActive() const { return id_ != 0 && loop_.IsTimerActive(id_); }

void Timer::Fire() {
    if (singleShot_) id_ = 0;
    if (onTimeout_) onTimeout_();
}

}  // namespace morvik::platform
