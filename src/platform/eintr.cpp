#include "platform/eintr.h"

#include <algorithm>
#include <chrono>
#include <climits>

namespace morvik::platform {

int PollResuming(pollfd* fds, nfds_t count, std::int64_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    timeoutMs = std::min<std::int64_t>(timeoutMs, INT_MAX);
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max<std::int64_t>(timeoutMs, 0));
    for (;;) {
        const int ready = ::poll(fds, count, timeoutMs < 0 ? -1 : static_cast<int>(timeoutMs));
        if (ready >= 0 || errno != EINTR) return ready;
        if (timeoutMs > 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            timeoutMs = std::max<std::int64_t>(left.count(), 0);
        }
    }
}

}  // namespace morvik::platform
