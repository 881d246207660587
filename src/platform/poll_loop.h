#pragma once
// The event loop of headless programs and real-I/O tests: it sleeps in poll(2)
// until a watched descriptor is ready, a timer is due, or another thread posts
// (an eventfd wakes it). Ordering and nesting rules: see loop_core.h.

#include <cstdint>

#include "platform/loop_core.h"
#include "platform/unique_fd.h"

namespace morvik::platform {

class PollLoop final : public LoopCore {
public:
    // Throws std::system_error when the wake-up eventfd cannot be created.
    PollLoop();
    ~PollLoop() override;

    // Milliseconds of std::chrono::steady_clock; safe from any thread.
    std::int64_t NowMs() const override;

protected:
    // Sleeps at most min(maxMs, time to the next due timer), not at all when
    // work is ready, then runs one step.
    bool WaitAndDispatch(std::int64_t maxMs, bool stopOnQuit) override;
    void Wake() override;

private:
    UniqueFd wakeFd_;
};

}  // namespace morvik::platform
