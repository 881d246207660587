#include "support/pty_pair.h"

#include <cerrno>
#include <chrono>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include "support/fd_wait.h"

namespace morvik::test {

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
        } else if (!WaitForFd(masterFd_, POLLOUT, MsLeft(deadline))) {
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
        if (received.size() < count && !WaitForFd(masterFd_, POLLIN, MsLeft(deadline))) break;
    }
    return received;
}

std::string PtyPair::ReadMasterAvailable() {
    std::string received;
    AppendAvailable(masterFd_, received);
    return received;
}

void PtyPair::CloseMaster() {
    if (masterFd_ < 0) return;
    ::close(masterFd_);
    masterFd_ = -1;
}

}  // namespace morvik::test
