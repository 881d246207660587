#pragma once
// A value the widgets show: the logic sets it, observers hear about each change.

#include <cstddef>
#include <deque>
#include <functional>
#include <utility>

namespace morvik::channel {

template <typename T>
class Observable {
public:
    using Listener = std::function<void(const T&)>;

    Observable() = default;
    explicit Observable(T initial) : value_(std::move(initial)) {}

    const T& Get() const { return value_; }

    // Observers hear only real changes.
    void Set(const T& value) {
        if (value == value_) return;
        value_ = value;
        // A listener may subscribe another one while we notify: the new one
        // hears from the next change on, and the running one never moves.
        // Each hears this value, even if one of them sets another meanwhile.
        const T notified = value_;
        const std::size_t count = listeners_.size();
        for (std::size_t i = 0; i < count; ++i) listeners_[i](notified);
    }

    void Subscribe(Listener listener) { listeners_.push_back(std::move(listener)); }

private:
    T value_{};
    // A deque: adding at its end never moves the listeners already in it.
    std::deque<Listener> listeners_;
};

}  // namespace morvik::channel
