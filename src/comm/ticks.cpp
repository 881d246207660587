#include "comm/ticks.h"

#include <algorithm>

#include "platform/event_loop.h"

namespace morvik::comm {

Ticks TicksFromMs(std::int64_t ms) {
    const auto clock32 = static_cast<std::uint32_t>(ms);  // the clock wraps like a 32-bit counter
    return static_cast<Ticks>(clock32 / kMsPerTick);
}

Ticks CurrentTicks(const platform::EventLoop& loop) { return TicksFromMs(loop.NowMs()); }

bool TimerExpired(Ticks start, Ticks length, Ticks now) {
    length = std::min(length, kMaxTimerTicks);
    // Ticks elapsed since start, modulo the clock's range; a wrapped clock reads below start.
    const Ticks elapsed = now >= start ? now - start : now + (kTickRange - start);
    return elapsed > length;
}

}  // namespace morvik::comm
