#include "support/tcp_peer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "support/fd_wait.h"

namespace morvik::test {

namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string("tcp peer: ") + what + ": " + std::strerror(errno));
}

// A loopback socket bound to a free port; the port is returned through port.
int BoundLoopbackSocket(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) Fail("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        Fail("bind");
    }
    port = ntohs(address.sin_port);
    return fd;
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

TcpPeer::TcpPeer() {
    listener_ = BoundLoopbackSocket(port_);
    if (::listen(listener_, 5) != 0) {
        CloseFd(listener_);
        Fail("listen");
    }
}

TcpPeer::~TcpPeer() {
    CloseFd(connection_);
    CloseFd(listener_);
}

bool TcpPeer::Accept(int timeoutMs) {
    if (listener_ < 0) return false;
    if (!WaitForFd(listener_, POLLIN, timeoutMs)) return false;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return false;
    CloseFd(connection_);
    connection_ = fd;
    return true;
}

bool TcpPeer::Send(std::string_view bytes, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!bytes.empty()) {
        const ssize_t sent = ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && errno != EAGAIN) return false;
        if (!WaitForFd(connection_, POLLOUT, MsLeft(deadline))) return false;
    }
    return true;
}

std::size_t TcpPeer::SendSome(std::string_view bytes) {
    for (;;) {
        const ssize_t sent = ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent >= 0) return static_cast<std::size_t>(sent);
        if (errno != EINTR) return 0;
    }
}

std::string TcpPeer::Receive(std::size_t count, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string received;
    char buffer[65536];
    while (received.size() < count) {
        const std::size_t want = std::min(sizeof buffer, count - received.size());
        const ssize_t got = ::recv(connection_, buffer, want, 0);
        if (got > 0) {
            received.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0) break;
        if (errno == EINTR) continue;
        if (errno != EAGAIN || !WaitForFd(connection_, POLLIN, MsLeft(deadline))) break;
    }
    return received;
}

std::string TcpPeer::ReceiveAvailable() {
    std::string received;
    AppendAvailable(connection_, received);
    return received;
}

bool TcpPeer::WaitForClose(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::recv(connection_, buffer, sizeof buffer, 0);
        if (got == 0) return true;
        if (got > 0 || errno == EINTR) continue;
        if (errno != EAGAIN) return true;  // reset or other end of the connection
        if (!WaitForFd(connection_, POLLIN, MsLeft(deadline))) return false;
    }
}

void TcpPeer::Close() { CloseFd(connection_); }

void TcpPeer::Reset() {
    if (connection_ < 0) return;
    // A zero linger time makes close() drop the connection with RST.
    const linger abort{1, 0};
    ::setsockopt(connection_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    CloseFd(connection_);
}

void TcpPeer::StopListening() { CloseFd(listener_); }

RefusingPort::RefusingPort() { fd_ = BoundLoopbackSocket(port_); }

RefusingPort::~RefusingPort() { CloseFd(fd_); }

}  // namespace morvik::test
