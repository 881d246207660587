#pragma once
// An event loop on a virtual clock for tests: time starts at 0 and moves only
// when code waits, straight to the next due timer, so long time-outs cost no
// real time and every run is identical. Ordering and nesting rules: see
// loop_core.h.
//
// WaitForEvents(maxMs) first runs what is ready; only if nothing was ready it
// moves the clock to min(next timer deadline, now + maxMs) and runs what is
// due then. Watched descriptors are polled without waiting at every step, so
// real I/O that is already there is handled, but the loop never blocks for
// it and the clock does not wait for it. Keep worker threads out of
// virtual-time tests: posting from them is safe, but nothing waits for them.
// Run() returns kIdleExitCode once no posted task and no timer is left.

#include <atomic>
#include <cstdint>

#include "platform/loop_core.h"

namespace morvik::platform {

class VirtualLoop final : public LoopCore {
public:
    VirtualLoop() = default;

    std::int64_t NowMs() const override { return now_; }

    // Runs everything that is ready now, without moving the clock.
    void RunUntilIdle();
    // Runs everything due up to t in order, moving the clock to each deadline
    // in turn, and leaves the clock at t (or later, if a handler waited beyond).
    void AdvanceTo(std::int64_t t);
    void AdvanceBy(std::int64_t ms) { AdvanceTo(NowMs() + ms); }

    using LoopCore::NextTimerDeadline;

protected:
    bool WaitAndDispatch(std::int64_t maxMs, bool stopOnQuit) override;

private:
    bool DispatchNow(bool stopOnQuit);

    std::atomic<std::int64_t> now_ = 0;
};

}  // namespace morvik::platform
