#pragma once
// A list of callbacks to notify. A callback may subscribe others while it is
// notified: those hear from the next notification on, and the running one
// never moves, since adding at the end of a deque leaves its elements where
// they are.

#include <cstddef>
#include <deque>
#include <functional>
#include <utility>

namespace morvik::channel {

template <typename... Args>
class Listeners {
public:
    using Listener = std::function<void(const Args&...)>;

    void Subscribe(Listener listener) { listeners_.push_back(std::move(listener)); }

    void Notify(const Args&... args) const {
        const std::size_t count = listeners_.size();
        for (std::size_t i = 0; i < count; ++i) listeners_[i](args...);
    }

private:
    std::deque<Listener> listeners_;
};

}  // namespace morvik::channel
