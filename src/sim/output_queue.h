#pragma once
// The module's outgoing writes, each due at its own moment and delivered in
// the order they were queued, on the event loop.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "platform/event_loop.h"

namespace morvik::sim {

struct OutgoingWrite {
    std::string bytes;
    std::uint32_t baud = 0;     // the module's rate when it was written
    bool dropLine = false;      // not bytes: the connection is to be cut here
};

class OutputQueue {
public:
    using Deliver = std::function<void(const OutgoingWrite&)>;

    OutputQueue(platform::EventLoop& loop, Deliver deliver);

    // Due delayMs from now; a write never overtakes one queued before it.
    void Enqueue(OutgoingWrite write, std::int64_t delayMs);
    void Clear();

private:
    struct Pending {
        std::int64_t dueMs;
        OutgoingWrite write;
    };

    void DeliverDue();
    void Schedule();

    platform::EventLoop& loop_;
    Deliver deliver_;
    std::deque<Pending> pending_;
    platform::Timer timer_;
};

}  // namespace morvik::sim
