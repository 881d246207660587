#pragma once
// On-air subscription: the module registers a partner device over the radio.
// While it runs, every line the module sends is an answer about it: "WAIT"
// while the module searches, anything else ends it, "ERROR" as a failure.
//
// Starting one comes with its own change: until then nothing starts one, so
// the link never enters the on-air state by itself.

#include <string>

namespace morvik::subscriptions {

enum class OnAirAnswer { kWaiting, kEnded };

class OnAirSubscription {
public:
    // Not yet built: will send the on-air command and enter the on-air state.
    void StartOnAirSubscription() {}

    // What a line from the module means for the running subscription; a
    // failure ends a repeated series.
    OnAirAnswer TakeAnswer(const std::string& line) {
        if (line == "WAIT") return OnAirAnswer::kWaiting;
        if (line == "ERROR") repeat_ = false;
        return OnAirAnswer::kEnded;
    }

    // After the running subscription ends, start the next one.
    bool Repeating() const { return repeat_; }
    void SetRepeating(bool on) { repeat_ = on; }
    void StopRepeating() { repeat_ = false; }

private:
    bool repeat_ = false;
};

}  // namespace morvik::subscriptions
