#include "cli/traffic_log.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace morvik::cli {

std::variant<std::unique_ptr<TrafficLog>, std::string> TrafficLog::Open(const std::string& path,
                                                                          channel::Monitor& monitor) {
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file) return "the log file " + path + " could not be opened: " + std::strerror(errno);
    std::unique_ptr<TrafficLog> log(new TrafficLog(file));
    monitor.OnAppend([self = std::weak_ptr<TrafficLog*>(log->self_)](const std::string& line) {
        if (const auto traffic = self.lock()) (*traffic)->Write(line);
    });
    return log;
}

TrafficLog::~TrafficLog() { std::fclose(file_); }

void TrafficLog::Write(const std::string& line) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const std::string entry = LogTimestamp(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) + line + "\n";
    // Flushed per line: what was logged survives a crash of the program.
    std::fputs(entry.c_str(), file_);
    std::fflush(file_);
}

std::string LogTimestamp(std::int64_t epochMs) {
    const std::time_t seconds = static_cast<std::time_t>(epochMs / 1000);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03d ", static_cast<int>(epochMs % 1000));
    return std::string(text, length) + millis;
}

}  // namespace morvik::cli
