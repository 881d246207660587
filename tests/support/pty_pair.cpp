#include "support/pty_pair.h"

#include <cerrno>
#include <chrono>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include "platform/eintr.h"
#include "support/fd_wait.h"

namespace morvik::test {

PtyPair::PtyPair() {
    char name[128] = {};
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
        throw std::system_error(errno, std::generic_category(), "openpty");
    master_.Reset(master);
    slave_.Reset(slave);
    slavePath_ = name;
    // The master side is our end of the "cable". The kernel already makes its
    // own line raw; settings changed through the master would land on the
    // slave instead, so none are touched here. Non-blocking for bounded
    // waits, and not inherited by child processes that tests may start.
    for (const int fd : {master, slave}) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
}

bool PtyPair::WriteMaster(std::string_view bytes, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!bytes.empty()) {
        const ssize_t written = platform::RetryOnEintr([&] { return ::write(MasterFd(), bytes.data(), bytes.size()); });
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
        } else if (written < 0 && errno != EAGAIN) {
            return false;
        } else if (!WaitForFd(MasterFd(), POLLOUT, MsLeft(deadline))) {
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
        if (received.size() < count && !WaitForFd(MasterFd(), POLLIN, MsLeft(deadline))) break;
    }
    return received;
}

std::string PtyPair::ReadMasterAvailable() {
    std::string received;
    AppendAvailable(MasterFd(), received);
    return received;
}

void PtyPair::CloseMaster() { master_.Reset(); }

}  // namespace morvik::test
