#include "support/pty_pair.h"

#include <cerrno>
#include <chrono>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace morvik::test {
namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until deadline, never negative.
int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the event on fd until the deadline; false when it did not come.
bool WaitFor(int fd, short event, Clock::time_point deadline) {
    for (;;) {
        pollfd watched{fd, event, 0};
        const int ready = ::poll(&watched, 1, MsLeft(deadline));
        if (ready > 0) return (watched.revents & event) != 0;
        if (ready == 0 || errno != EINTR) return false;
    }
}

}  // namespace

PtyPair::PtyPair() {
    char name[128] = {};
    if (::openpty(&masterFd_, &slaveFd_, name, nullptr, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "openpty");
    slavePath_ = name;
    // The master side is our end of the "cable". The kernel already makes its
    // own line raw; settings changed through the master would land on the
    // slave instead, so none are touched here. Non-blocking for bounded
    // waits, and not inherited by child processes that tests may start.
    for (const int fd : {masterFd_, slaveFd_}) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
}

PtyPair::~PtyPair() {
    CloseMaster();
    ::close(slaveFd_);
}

bool PtyPair::WriteMaster(std::string_view bytes, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!bytes.empty()) {
        const ssize_t written = ::write(masterFd_, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
        } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else if (!WaitFor(masterFd_, POLLOUT, deadline)) {
            return false;
        }
    }
    return true;
}

std::string PtyPair::ReadMaster(std::size_t count, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string received;
    while (received.size() < count) {
        received += ReadMasterAvailable();
        if (received.size() < count && !WaitFor(masterFd_, POLLIN, deadline)) break;
    }
    return received;
}

std::string PtyPair::ReadMasterAvailable() {
    std::string received;
    char chunk[4096];
    for (;;) {
        const ssize_t count = ::read(masterFd_, chunk, sizeof chunk);
        if (count > 0) {
            received.append(chunk, static_cast<std::size_t>(count));
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            return received;
        }
    }
}

void PtyPair::CloseMaster() {
    if (masterFd_ < 0) return;
    ::close(masterFd_);
    masterFd_ = -1;
}

}  // namespace morvik::test
