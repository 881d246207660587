#include "support/fd_wait.h"

#include <cerrno>

#include <poll.h>
#include <unistd.h>

namespace morvik::test {

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool WaitForFd(int fd, short events, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd watched{fd, events, 0};
        const int ready = ::poll(&watched, 1, MsLeft(deadline));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

bool AppendAvailable(int fd, std::string& into) {
    char chunk[65536];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count > 0) {
            into.append(chunk, static_cast<std::size_t>(count));
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            return count < 0 && errno == EAGAIN;
        }
    }
}

}  // namespace morvik::test
