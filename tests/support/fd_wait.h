#pragma once
// Bounded waits and non-blocking reads on descriptors, for the helpers that
// play the far end of a line (pseudo-terminal master, TCP peer, simulator
// process). Every wait ends at its bound instead of hanging.

#include <chrono>
#include <string>

namespace morvik::test {

using Clock = std::chrono::steady_clock;

// Milliseconds left until deadline, never negative.
int MsLeft(Clock::time_point deadline);

// Waits up to timeoutMs until fd is ready for one of events, or reports an
// error or hang-up (which poll always reports); false when the bound passed
// first. A signal does not end the wait early.
bool WaitForFd(int fd, short events, int timeoutMs);

// Appends what the non-blocking fd holds right now. False once the other end
// has closed or the descriptor failed; true while more may come.
bool AppendAvailable(int fd, std::string& into);

}  // namespace morvik::test
