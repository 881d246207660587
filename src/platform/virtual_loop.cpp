#include "platform/virtual_loop.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace morvik::platform {

namespace {

// Steps at one virtual moment after which tasks that keep re-posting
// themselves count as a fault of the code under test, not a long test.
constexpr int kMaxStepsAtOneMoment = 1'000'000;

}  // namespace

bool VirtualLoop::DispatchNow(bool stopOnQuit) { return DispatchStep(PollWatches(0, -1), stopOnQuit); }

void VirtualLoop::RunUntilIdle() {
    DispatchScope scope(*this);
    for (int steps = 0; DispatchNow(false); ++steps) {
        if (steps == kMaxStepsAtOneMoment) {
            throw std::logic_error("VirtualLoop: tasks keep re-posting themselves; time cannot move");
        }
    }
}

void VirtualLoop::AdvanceTo(std::int64_t t) {
    DispatchScope scope(*this);
    for (;;) {
        RunUntilIdle();
        const auto next = NextTimerDeadline();
        if (!next || *next > t) break;
        now_ = std::max(now_.load(), *next);
    }
    now_ = std::max(now_.load(), t);
}

bool VirtualLoop::WaitAndDispatch(std::int64_t maxMs, bool stopOnQuit) {
    if (DispatchNow(stopOnQuit)) return true;
    const auto next = NextTimerDeadline();
    if (maxMs < 0 && !next) return PendingPosts() != 0;  // idle: waiting could never end
    const std::int64_t now = now_;
    std::int64_t target = maxMs < 0 ? *next : now + std::min(maxMs, INT64_MAX - now);
    if (next) target = std::min(target, *next);
    now_ = std::max(now_.load(), target);
    DispatchNow(stopOnQuit);
    return true;
}

}  // namespace morvik::platform
