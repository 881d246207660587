#pragma once
// What the benchmark programs share: stopping on a failed set-up, time and
// CPU figures, a loopback listener for the far end and writing a stream to it,
// and the programs they start (rx57-sim and others).
// A benchmark measures; it asserts nothing and stops with a message when it
// cannot run.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/eintr.h"
#include "platform/poll_loop.h"
#include "platform/unique_fd.h"

extern char** environ;

namespace morvik::bench {

using Clock = std::chrono::steady_clock;

[[noreturn]] inline void Die(const char* what) {
    std::perror(what);
    std::exit(1);
}

// A fresh folder for a benchmark's files, removed with them at the end.
class TempFolder {
public:
    explicit TempFolder(const std::string& name) {
        std::string pattern = (std::filesystem::temp_directory_path() / (name + ".XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) Die("mkdtemp");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // With the trailing "/" the program's folders carry.
    std::string Prefix() const { return path_.string() + "/"; }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

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
inline platform::UniqueFd ListenOnLoopback(std::uint16_t& port) {
    platform::UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (!listener.Valid() || ::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::listen(listener.Get(), 1) != 0) {
        Die("listen on loopback");
    }
    port = ntohs(address.sin_port);
    return listener;
}

// Writes all size bytes to fd, in pieces of at most chunk bytes.
inline void WriteAll(int fd, const char* data, std::size_t size,
                     std::size_t chunk = std::numeric_limits<std::size_t>::max()) {
    while (size > 0) {
        const ssize_t written = platform::RetryOnEintr([&] { return ::write(fd, data, std::min(chunk, size)); });
        if (written < 0) Die("write");
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

// A program beside this one in the build's bin folder.
inline std::string SiblingProgram(const std::string& name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

// A program (found on PATH unless the name has a slash) started with arguments
// and extra environment entries, which win over this process's own; its
// standard output can be read line by line. It gets SIGTERM and is waited for
// when this goes away.
class ChildProcess {
public:
    explicit ChildProcess(std::vector<std::string> args, std::vector<std::string> environment = {}) {
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
        std::vector<char*> envp;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);

        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) Die("pipe");
        output_.Reset(out[0]);
        const platform::UniqueFd writeEnd(out[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
        const int spawned = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) throw std::runtime_error("cannot start " + args.front());
    }
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }

    // The next line of its standard output; empty when none came within the bound.
    std::string ReadLine(int timeoutMs = 5000) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (const auto end = buffered_.find('\n'); end != std::string::npos) {
                std::string line = buffered_.substr(0, end);
                buffered_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd readable{output_.Get(), POLLIN, 0};
            if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0) return {};
            char chunk[256];
            const ssize_t got = platform::RetryOnEintr([&] { return ::read(output_.Get(), chunk, sizeof chunk); });
            if (got <= 0) return {};
            buffered_.append(chunk, static_cast<std::size_t>(got));
        }
    }

    // Waits for its end; false when it still runs after the bound.
    bool WaitForEnd(int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (pid_ > 0) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            if (Clock::now() > deadline) return false;
            ::usleep(10000);
        }
        return true;
    }

    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    platform::UniqueFd output_;
    std::string buffered_;
};

// rx57-sim on a free loopback port, with more arguments; the port comes from
// its "listening on HOST:PORT" line.
class SimServer {
public:
    explicit SimServer(std::vector<std::string> args = {}) : process_([&] {
        args.insert(args.begin(), {SiblingProgram("rx57-sim"), "--tcp", "127.0.0.1:0"});
        return args;
    }()) {
        const std::string line = process_.ReadLine();
        const std::size_t colon = line.rfind(':');
        if (line.rfind("listening on", 0) != 0 || colon == std::string::npos) {
            throw std::runtime_error("rx57-sim did not start: " + line);
        }
        port_ = std::stoi(line.substr(colon + 1));
    }
    int Port() const { return port_; }
    ChildProcess& Process() { return process_; }

private:
    ChildProcess process_;
    int port_ = 0;
};

}  // namespace morvik::bench
