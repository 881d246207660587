#pragma once
// A value the widgets show: the logic sets it, observers hear about each change.

#include <functional>
#include <utility>
#include <vector>

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
        // By index: a listener may subscribe another one while we notify.
        for (std::size_t i = 0; i < listeners_.size(); ++i) listeners_[i](value_);
    }

    void Subscribe(Listener listener) { listeners_.push_back(std::move(listener)); }

private:
    T value_{};
    std::vector<Listener> listeners_;
};

}  // namespace morvik::channel
