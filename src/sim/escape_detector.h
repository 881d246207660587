#pragma once
// Recognises the escape from data mode to command mode: three escape
// characters (S2) with a guard time (S12, in 1/50 s) of silence before them
// and after them, and less than the guard time between them.

#include <cstdint>
#include <functional>

#include "platform/event_loop.h"

namespace morvik::sim {

class EscapeDetector {
public:
    EscapeDetector(platform::EventLoop& loop, std::function<void()> onEscape);

    // Data mode begins now: silence is counted from here.
    void Restart();
    // Stops watching (the module left data mode).
    void Stop();
    // One byte received in data mode. escapeChar above 127 disables the escape;
    // a guard time of 0 drops the timing rules.
    void Take(unsigned char byte, unsigned escapeChar, std::int64_t guardMs);

private:
    platform::EventLoop& loop_;
    platform::Timer guardAfter_;
    std::int64_t lastByteMs_ = 0;
    int count_ = 0;
};

}  // namespace morvik::sim
