#pragma once
// A value the widgets show: the logic sets it, observers hear about each change.

#include <utility>

#include "channel/listeners.h"

namespace morvik::channel {

template <typename T>
class Observable {
public:
    using Listener = typename Listeners<T>::Listener;

    Observable() = default;
    explicit Observable(T initial) : value_(std::move(initial)) {}

    const T& Get() const { return value_; }

    // Observers hear only real changes.
    void Set(const T& value) {
        if (value == value_) return;
        value_ = value;
        // Each hears this value, even if one of them sets another meanwhile.
        const T notified = value_;
        listeners_.Notify(notified);
    }

    void Subscribe(Listener listener) { listeners_.Subscribe(std::move(listener)); }

private:
    T value_{};
    Listeners<T> listeners_;
};

}  // namespace morvik::channel
