#include "support/fd_wait.h"

#include <algorithm>
#include <cerrno>

#include <poll.h>
#include <unistd.h>

#include "platform/eintr.h"

namespace morvik::test {

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool WaitForFd(int fd, short events, int timeoutMs) {
    pollfd watched{fd, events, 0};
    return platform::PollResuming(&watched, 1, std::max(timeoutMs, 0)) > 0;
}

bool AppendAvailable(int fd, std::string& into) {
    char chunk[65536];
    for (;;) {
        const ssize_t count = platform::RetryOnEintr([&] { return ::read(fd, chunk, sizeof chunk); });
        if (count > 0) {
            into.append(chunk, static_cast<std::size_t>(count));
        } else {
            return count < 0 && errno == EAGAIN;
        }
    }
}

}  // namespace morvik::test
