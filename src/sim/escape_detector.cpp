#include "sim/escape_detector.h"

namespace morvik::sim {

EscapeDetector::EscapeDetector(platform::EventLoop& loop, std::function<void()> onEscape)
    : loop_(loop), guardAfter_(loop, std::move(onEscape)) {
    guardAfter_.SetSingleShot(true);
}

void EscapeDetector::Restart() {
    Stop();
    lastByteMs_ = loop_.NowMs();
}

void EscapeDetector::Stop() {
    guardAfter_.Stop();
    count_ = 0;
}

void EscapeDetector::Take(unsigned char byte, unsigned escapeChar, std::int64_t guardMs) {
    const std::int64_t now = loop_.NowMs();
    const std::int64_t silence = now - lastByteMs_;
    lastByteMs_ = now;
    // Anything after the third escape character within the guard time makes
    // all of it ordinary data.
    if (guardAfter_.IsActive()) {
        guardAfter_.Stop();
        count_ = 0;
    }
    if (escapeChar > 127 || byte != escapeChar) {
        count_ = 0;
        return;
    }
    if (guardMs == 0 || (count_ > 0 && silence < guardMs)) {
        ++count_;
    } else {
        count_ = silence >= guardMs ? 1 : 0;  // a late one may still begin a new escape
    }
    if (count_ == 3) {
        count_ = 0;
        guardAfter_.SetInterval(guardMs);
        guardAfter_.Start();
    }
}

}  // namespace morvik::sim
