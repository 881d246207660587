#include "channel/traffic_record.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace morvik::channel {

std::int64_t SystemWallClockMs() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

std::string TrafficTimestamp(std::int64_t epochMs) {
    const std::time_t seconds = static_cast<std::time_t>(epochMs / 1000);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03d ", static_cast<int>(epochMs % 1000));
    return std::string(text, length) + millis;
}

TrafficRecord::TrafficRecord(Monitor& monitor, WallClock clock) {
    monitor.OnAppend([lines = std::weak_ptr(lines_), clock = std::move(clock)](const std::string& line) {
        if (const auto kept = lines.lock()) kept->push_back({clock(), line});
    });
    monitor.OnClear([lines = std::weak_ptr(lines_)] {
        if (const auto kept = lines.lock()) kept->clear();
    });
}

std::string TrafficRecord::Text() const {
    std::string text;
    for (const TrafficLine& line : *lines_) text += TrafficTimestamp(line.epochMs) + line.text + "\n";
    return text;
}

}  // namespace morvik::channel
