#include "sim/output_queue.h"

#include <algorithm>

namespace morvik::sim {

OutputQueue::OutputQueue(platform::EventLoop& loop, Deliver deliver)
    : loop_(loop), deliver_(std::move(deliver)), timer_(loop, [this] { DeliverDue(); }) {
    timer_.SetSingleShot(true);
}

void OutputQueue::Enqueue(OutgoingWrite write, std::int64_t delayMs) {
    pending_.push_back(Pending{loop_.NowMs() + delayMs, std::move(write)});
    if (pending_.size() == 1) Schedule();
}

void OutputQueue::Clear() {
    pending_.clear();
    timer_.Stop();
}

void OutputQueue::DeliverDue() {
    // Each write leaves the queue before it is delivered: the receiver may
    // feed the module (which queues more) or reset it (which clears the queue).
    while (!pending_.empty() && pending_.front().dueMs <= loop_.NowMs()) {
        const OutgoingWrite write = std::move(pending_.front().write);
        pending_.pop_front();
        deliver_(write);
    }
    if (!pending_.empty() && !timer_.IsActive()) Schedule();
}

void OutputQueue::Schedule() {
    timer_.SetInterval(std::max<std::int64_t>(0, pending_.front().dueMs - loop_.NowMs()));
    timer_.Start();
}

}  // namespace morvik::sim
