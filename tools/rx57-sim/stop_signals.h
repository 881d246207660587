#pragma once
// SIGINT and SIGTERM as events on the loop, so the simulator ends between two
// handlers: sockets closed, state and log complete.

#include <functional>

#include "platform/event_loop.h"
#include "platform/unique_fd.h"

namespace morvik::sim {

class StopSignals {
public:
    // Blocks the signals for the process (call before any thread starts) and
    // calls onStop on the loop when one arrives. Throws std::runtime_error when it cannot.
    StopSignals(platform::EventLoop& loop, std::function<void(int signal)> onStop);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    platform::EventLoop& loop_;
    platform::UniqueFd signalFd_;
    platform::EventLoop::WatchId watch_ = 0;
};

}  // namespace morvik::sim
