#pragma once
// Runs the rx57-sim program for integration tests: starts it with arguments,
// reads its standard output line by line, and stops it with a signal. Every
// wait is bounded and reports failure instead of hanging.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace morvik::test {

// Where the test build put the program.
std::string SimProgramPath();

class SimProcess {
public:
    // Throws std::runtime_error when the program cannot be started.
    explicit SimProcess(const std::vector<std::string>& args);
    ~SimProcess();  // kills the program if it still runs
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The next line of standard output, without its line end.
    std::optional<std::string> ReadLine(int timeoutMs = 5000);
    // Reads lines until one contains text; that line, or nullopt.
    std::optional<std::string> WaitForLine(const std::string& text, int timeoutMs = 5000);
    // Sends the signal and waits for the end: the exit code, or nullopt if it
    // did not end normally within the bound.
    std::optional<int> Stop(int signal, int timeoutMs = 5000);
    // Waits for the program to end by itself: its exit code, as for Stop.
    std::optional<int> WaitForEnd(int timeoutMs = 5000);
    // What the program wrote to standard error so far.
    std::string ErrorOutput();

private:

    pid_t pid_ = -1;
    platform::UniqueFd out_;
    platform::UniqueFd err_;
    std::string outBuffer_;
    std::string errText_;
};

struct SimRun {
    int exitCode = -1;  // -1 when it did not end within the bound
    std::string out;
    std::string err;
};

// Runs the program to its end (for command lines that end it at once).
SimRun RunSimToEnd(const std::vector<std::string>& args, int timeoutMs = 5000);

// The port in a "listening on HOST:PORT" line; 0 when the line is not one.
int PortOfListeningLine(const std::string& line);

}  // namespace morvik::test
