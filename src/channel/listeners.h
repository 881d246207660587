#pragma once
// A list of callbacks to notify. A callback may subscribe others while it is
// notified: the notification runs over a snapshot, and each callback lives in
// its own allocation, so the running one is never moved or destroyed under it.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace morvik::channel {

template <typename... Args>
class Listeners {
public:
    using Listener = std::function<void(Args...)>;

    void Subscribe(Listener listener) { listeners_.push_back(std::make_shared<Listener>(std::move(listener))); }

    // Listeners subscribed during the notification hear the next one.
    void Notify(const Args&... args) const {
        const std::vector<std::shared_ptr<Listener>> snapshot = listeners_;
        for (const std::shared_ptr<Listener>& listener : snapshot) (*listener)(args...);
    }

private:
    std::vector<std::shared_ptr<Listener>> listeners_;
};

}  // namespace morvik::channel
