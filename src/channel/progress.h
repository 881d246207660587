#pragma once
// The progress window's state: caption, bar position and maximum, shown or not.
// The window itself only renders this and forwards its Cancel button.

#include <string>

#include "channel/observable.h"

namespace morvik::channel {

struct ProgressState {
    std::string caption;
    int maximum = 100;
    int position = 0;
    bool visible = false;

    bool operator==(const ProgressState&) const = default;
};

class Progress {
public:
    // New caption and maximum, bar at 0, shown.
    void ShowProgress(const std::string& caption, int maximum);
    // A negative value steps the bar by one, back to 0 once it is full; a value
    // from 0 to the maximum becomes the position; a value above it is ignored.
    void SetProgress(int value);
    void HideProgress();

    Observable<ProgressState> state;
};

}  // namespace morvik::channel
