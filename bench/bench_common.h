#pragma once
// What the benchmark programs share: stopping on a failed set-up, time and
// CPU figures, a loopback listener for the far end and writing a stream to it.
// A benchmark measures; it asserts nothing and stops with a message when it
// cannot run.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "platform/poll_loop.h"

namespace morvik::bench {

using Clock = std::chrono::steady_clock;

[[noreturn]] inline void Die(const char* what) {
    std::perror(what);
    std::exit(1);
}

inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// User and system CPU time of this process so far.
inline double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Prints median, 99th percentile and maximum of the samples (microseconds).
inline void PrintLatency(const char* what, std::vector<double> micros) {
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    std::printf("latency %s (%zu samples): median %.1f us, p99 %.1f us, max %.1f us\n", what, micros.size(),
                micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.back());
}

// Lets the loop run idle for ms and prints the CPU it cost, threads included.
inline void PrintIdleCpu(const char* what, platform::PollLoop& loop, std::int64_t ms) {
    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    loop.RunUntil([] { return false; }, ms);
    const double wall = Seconds(Clock::now() - start);
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf("%s: %.3f s CPU in %.1f s = %.3f %% of one core\n", what, cpu, wall, 100.0 * cpu / wall);
}

// A socket listening on 127.0.0.1 at a free port, which is returned through port.
inline int ListenOnLoopback(std::uint16_t& port) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 || ::listen(listener, 1) != 0) {
        Die("listen on loopback");
    }
    port = ntohs(address.sin_port);
    return listener;
}

// Writes all size bytes to fd, in pieces of at most chunk bytes.
inline void WriteAll(int fd, const char* data, std::size_t size,
                     std::size_t chunk = std::numeric_limits<std::size_t>::max()) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, std::min(chunk, size));
        if (written < 0) {
            if (errno == EINTR) continue;
            Die("write");
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace morvik::bench
