#pragma once
// System calls that a signal may interrupt (EINTR) are made again; a wait
// resumes with the time that is left.

#include <poll.h>

#include <cerrno>
#include <cstdint>

namespace morvik::platform {

// Calls call() until it returns anything but -1 with errno EINTR.
template <typename Call>
auto RetryOnEintr(Call call) {
    for (;;) {
        auto result = call();
        if (result != -1 || errno != EINTR) return result;
    }
}

// poll(2) for at most timeoutMs (negative: without bound), resumed after a
// signal with the time left: the number of ready entries, or -1 with errno.
int PollResuming(pollfd* fds, nfds_t count, std::int64_t timeoutMs);

}  // namespace morvik::platform
