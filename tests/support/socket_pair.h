#pragma once
// A connected pair of local stream sockets that do not block, closed on every
// path out: a descriptor for event loops to watch, with a peer to drive it.

#include <sys/socket.h>

#include <stdexcept>

#include "platform/unique_fd.h"

namespace morvik::test {

class SocketPair {
public:
    SocketPair() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) {
            throw std::runtime_error("socketpair");
        }
        near_.Reset(fds[0]);
        far_.Reset(fds[1]);
    }
    int Near() const { return near_.Get(); }
    int Far() const { return far_.Get(); }
    void CloseNear() { near_.Reset(); }
    void CloseFar() { far_.Reset(); }

private:
    platform::UniqueFd near_;
    platform::UniqueFd far_;
};

}  // namespace morvik::test
