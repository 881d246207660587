#include "sim/traffic_log.h"

#include <cstdio>

#include "sim/text_util.h"

namespace morvik::sim {

TrafficLog::TrafficLog(platform::EventLoop& loop, std::ostream& out)
    : loop_(loop), out_(out), startMs_(loop.NowMs()) {}

void TrafficLog::Record(Rx57Module::TrafficKind kind, std::string_view text) {
    const std::int64_t elapsed = loop_.NowMs() - startMs_;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%7lld.%03lld", static_cast<long long>(elapsed / 1000),
                  static_cast<long long>(elapsed % 1000));
    const char mark = kind == Rx57Module::TrafficKind::kReceived ? '<'
                      : kind == Rx57Module::TrafficKind::kSent   ? '>'
                                                                 : '#';
    // Written through at once, so the log is complete up to the moment the program stops.
    out_ << stamp << ' ' << mark << ' ' << ShowControlCharacters(text) << std::endl;
}

}  // namespace morvik::sim
