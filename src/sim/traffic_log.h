#pragma once
// The simulator's traffic log: one line per write in either direction and per
// notable event, with the time since the log began and every control
// character shown as {XX}. "<" marks bytes to the module, ">" bytes from it,
// "#" events - the same marks as the program's monitor.

#include <cstdint>
#include <ostream>
#include <string_view>

#include "platform/event_loop.h"
#include "sim/rx57_module.h"

namespace morvik::sim {

class TrafficLog {
public:
    TrafficLog(platform::EventLoop& loop, std::ostream& out);

    void Record(Rx57Module::TrafficKind kind, std::string_view text);

private:
    platform::EventLoop& loop_;
    std::ostream& out_;
    std::int64_t startMs_;
};

}  // namespace morvik::sim
