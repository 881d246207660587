#pragma once
// Writes to a non-blocking descriptor without ever blocking the loop: what
// the descriptor does not take now waits here, and the watch asks for
// writability until it is gone.

#include <string>
#include <string_view>

#include "platform/event_loop.h"

namespace morvik::sim {

class ByteSink {
public:
    explicit ByteSink(platform::EventLoop& loop) : loop_(loop) {}

    // The descriptor and its watch; pending bytes are dropped.
    void Attach(int fd, platform::EventLoop::WatchId watch);
    void Detach();
    // False when the descriptor failed for good (the peer is gone).
    bool Write(std::string_view bytes);
    // For the watch handler when the descriptor is writable.
    bool Flush();

private:
    void UpdateWatch();

    platform::EventLoop& loop_;
    int fd_ = -1;
    platform::EventLoop::WatchId watch_ = 0;
    std::string pending_;
};

}  // namespace morvik::sim
