#include "support/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "support/fd_wait.h"

extern char** environ;

namespace morvik::test {

std::string SimProgramPath() { return std::string(MORVIK_BIN_DIR) + "/rx57-sim"; }

SimProcess::SimProcess(const std::vector<std::string>& args) {
    int outPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    out_.Reset(outPipe[0]);
    const platform::UniqueFd outWriter(outPipe[1]);
    int errPipe[2];
    if (::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    err_.Reset(errPipe[0]);
    const platform::UniqueFd errWriter(errPipe[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outWriter.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errWriter.Get(), STDERR_FILENO);
    const std::string program = SimProgramPath();
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int spawned = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::fcntl(out_.Get(), F_SETFL, O_NONBLOCK);
    ::fcntl(err_.Get(), F_SETFL, O_NONBLOCK);
    if (spawned != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(spawned));
    }
}

SimProcess::~SimProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::optional<std::string> SimProcess::ReadLine(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const std::size_t end = outBuffer_.find('\n');
        if (end != std::string::npos) {
            std::string line = outBuffer_.substr(0, end);
            outBuffer_.erase(0, end + 1);
            return line;
        }
        if (!WaitForFd(out_.Get(), POLLIN, MsLeft(deadline))) return std::nullopt;
        if (!AppendAvailable(out_.Get(), outBuffer_) && outBuffer_.find('\n') == std::string::npos) return std::nullopt;
    }
}

std::optional<std::string> SimProcess::WaitForLine(const std::string& text, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (auto line = ReadLine(MsLeft(deadline))) {
        if (line->find(text) != std::string::npos) return line;
    }
    return std::nullopt;
}

std::optional<int> SimProcess::Stop(int signal, int timeoutMs) {
    if (pid_ <= 0) return std::nullopt;
    ::kill(pid_, signal);
    return WaitForEnd(timeoutMs);
}

std::optional<int> SimProcess::WaitForEnd(int timeoutMs) {
    if (pid_ <= 0) return std::nullopt;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // A pidfd turns "the child ended" into something poll can wait for.
    const platform::UniqueFd pidFd(static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)));
    int status = 0;
    while (true) {
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) break;
        if (done < 0 || MsLeft(deadline) == 0) return std::nullopt;
        if (pidFd.Valid()) {
            WaitForFd(pidFd.Get(), POLLIN, MsLeft(deadline));
        } else {
            ::usleep(1000);  // kernels without pidfd: look again shortly
        }
    }
    pid_ = -1;
    if (!WIFEXITED(status)) return std::nullopt;
    return WEXITSTATUS(status);
}

std::string SimProcess::ErrorOutput() {
    AppendAvailable(err_.Get(), errText_);
    return errText_;
}

SimRun RunSimToEnd(const std::vector<std::string>& args, int timeoutMs) {
    SimProcess process(args);
    SimRun run;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (auto line = process.ReadLine(MsLeft(deadline))) run.out += *line + "\n";
    run.exitCode = process.WaitForEnd(MsLeft(deadline)).value_or(-1);
    run.err = process.ErrorOutput();
    return run;
}

int PortOfListeningLine(const std::string& line) {
    const std::string prefix = "listening on ";
    const std::size_t colon = line.rfind(':');
    if (!line.starts_with(prefix) || colon == std::string::npos) return 0;
    return std::atoi(line.c_str() + colon + 1);
}

}  // namespace morvik::test
