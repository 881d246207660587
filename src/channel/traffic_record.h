#pragma once
// The monitor's traffic with the wall-clock time each line was shown, kept
// alongside the monitor so it can be saved or followed in a file afterwards.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "channel/monitor.h"

namespace morvik::channel {

// Milliseconds since the epoch; tests give a clock of their own.
using WallClock = std::function<std::int64_t()>;
std::int64_t SystemWallClockMs();

// "2024-05-03 14:07:09.042 " for a time in milliseconds since the epoch, local time.
std::string TrafficTimestamp(std::int64_t epochMs);

struct TrafficLine {
    std::int64_t epochMs = 0;
    std::string text;
};

// What the monitor shows, line by line with its time; it starts empty again
// when the monitor is cleared (every search step clears it).
class TrafficRecord {
public:
    explicit TrafficRecord(Monitor& monitor, WallClock clock = SystemWallClockMs);
    TrafficRecord(const TrafficRecord&) = delete;
    TrafficRecord& operator=(const TrafficRecord&) = delete;

    const std::vector<TrafficLine>& Lines() const { return *lines_; }
    // Every line as TrafficTimestamp + text + "\n".
    std::string Text() const;

private:
    // Shared with the monitor's listeners, which may outlive this record.
    std::shared_ptr<std::vector<TrafficLine>> lines_ = std::make_shared<std::vector<TrafficLine>>();
};

}  // namespace morvik::channel
