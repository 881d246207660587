#pragma once
// The communication layer counts time in ticks of 55 ms on a 32-bit
// millisecond clock, which wraps after about 49.7 days; timers are limited to
// half the tick range so a wrapped clock is never mistaken for an early one.

#include <cstdint>

namespace morvik::platform {
class EventLoop;
}

namespace morvik::comm {

using Ticks = std::uint32_t;

inline constexpr std::int64_t kMsPerTick = 55;
// Distinct tick values of a 32-bit millisecond clock: 0 .. 2^32/55.
inline constexpr Ticks kTickRange = static_cast<Ticks>((std::int64_t{1} << 32) / kMsPerTick + 1);
// The longest timer, half the tick range.
inline constexpr Ticks kMaxTimerTicks = 39045157;

// The tick count of a millisecond clock reading.
Ticks TicksFromMs(std::int64_t ms);
// The loop's clock in ticks.
Ticks CurrentTicks(const platform::EventLoop& loop);

// Whether a timer of length ticks started at start has expired at now: now is
// past start + length (length capped at kMaxTimerTicks), counting across a wrap of the clock.
bool TimerExpired(Ticks start, Ticks length, Ticks now);

}  // namespace morvik::comm
