#pragma once
// An auto-reset event for the serial dispatcher's threads: Set wakes one
// waiter (or the next one to wait, if none waits now), and a successful wait
// resets it.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace morvik::comm {

class AutoResetEvent {
public:
    void Set() {
        {
            std::lock_guard lock(mutex_);
            set_ = true;
        }
        changed_.notify_one();
    }
    // True when the event was set within timeoutMs (and is now reset again).
    bool WaitFor(int timeoutMs) {
        std::unique_lock lock(mutex_);
        const bool signalled = changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; });
        set_ = false;
        return signalled;
    }
    void Wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return set_; });
        set_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

}  // namespace morvik::comm
