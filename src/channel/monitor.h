#pragma once
// The monitor pane's content: the logged command traffic, one text per line,
// and whether the pane is shown.

#include <string>
#include <string_view>
#include <vector>

#include "channel/listeners.h"
#include "channel/observable.h"

namespace morvik::channel {

class Monitor {
public:
    using AppendListener = Listeners<std::string>::Listener;
    using ClearListener = Listeners<>::Listener;

    void Append(std::string line);
    void Clear();
    std::size_t LineCount() const { return lines_.size(); }
    const std::vector<std::string>& Lines() const { return lines_; }

    void OnAppend(AppendListener listener) { appendListeners_.Subscribe(std::move(listener)); }
    void OnClear(ClearListener listener) { clearListeners_.Subscribe(std::move(listener)); }

    // The "Monitor" item of the View menu: toggles its check mark, and the pane follows it.
    void miMonitorClick();
    // A right click on the "Monitor" label behind the pane shows the pane,
    // leaving the menu item's check mark as it is.
    void Label1MouseDown(bool rightButton);

    Observable<bool> menuChecked;
    Observable<bool> visible;

private:
    std::vector<std::string> lines_;
    Listeners<std::string> appendListeners_;
    Listeners<> clearListeners_;
};

// A text as the monitor shows it: every character below 0x20 as "{" + two
// upper-case hex digits + "}", so a CR reads {0D}.
std::string MonitorText(std::string_view text);

}  // namespace morvik::channel
