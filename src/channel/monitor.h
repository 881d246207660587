#pragma once
// The monitor pane's content: the logged command traffic, one text per line,
// and whether the pane is shown.

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "channel/observable.h"

namespace morvik::channel {

class Monitor {
public:
    using AppendListener = std::function<void(const std::string& line)>;
    using ClearListener = std::function<void()>;

    void Append(std::string line);
    void Clear();
    std::size_t LineCount() const { return lines_.size(); }
    const std::vector<std::string>& Lines() const { return lines_; }

    void OnAppend(AppendListener listener) { appendListeners_.push_back(std::move(listener)); }
    void OnClear(ClearListener listener) { clearListeners_.push_back(std::move(listener)); }

    // The "Monitor" item of the View menu: toggles its check mark, and the pane follows it.
    void miMonitorClick();
    // A right click on the "Monitor" label behind the pane shows the pane,
    // leaving the menu item's check mark as it is.
    void Label1MouseDown(bool rightButton);

    Observable<bool> menuChecked;
    Observable<bool> visible;

private:
    std::vector<std::string> lines_;
    // Deques: a listener added during a notification never moves the running one.
    std::deque<AppendListener> appendListeners_;
    std::deque<ClearListener> clearListeners_;
};

// A text as the monitor shows it: every character below 0x20 as "{" + two
// upper-case hex digits + "}", so a CR reads {0D}.
std::string MonitorText(std::string_view text);

}  // namespace morvik::channel
