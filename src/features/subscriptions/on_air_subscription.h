#pragma once
// On-air subscription: the module registers a partner device over the radio.
//
// NOT YET BUILT: comes with its own change. Until then nothing starts one, so
// the link never enters the on-air state by itself.

namespace morvik::subscriptions {

class OnAirSubscription {
public:
    // Not yet built: will send the on-air command and enter the on-air state.
    void StartOnAirSubscription() {}
};

}  // namespace morvik::subscriptions
