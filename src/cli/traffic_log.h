#pragma once
// --log: every line the monitor shows, appended to a file with the wall-clock
// time it was logged, so a run can be followed afterwards.

#include <cstdio>
#include <memory>
#include <variant>
#include <string>

#include "channel/monitor.h"

namespace morvik::cli {

class TrafficLog {
public:
    // Opens the file for appending; Open's error says why it could not.
    static std::variant<std::unique_ptr<TrafficLog>, std::string> Open(const std::string& path, channel::Monitor& monitor);
    ~TrafficLog();
    TrafficLog(const TrafficLog&) = delete;
    TrafficLog& operator=(const TrafficLog&) = delete;

private:
    explicit TrafficLog(std::FILE* file) : file_(file) {}
    void Write(const std::string& line);

    std::FILE* file_;
    std::shared_ptr<TrafficLog*> self_ = std::make_shared<TrafficLog*>(this);
};

}  // namespace morvik::cli
