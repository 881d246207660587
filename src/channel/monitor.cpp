#include "channel/monitor.h"

namespace morvik::channel {

void Monitor::Append(std::string line) {
    lines_.push_back(std::move(line));
    // Listeners added while we notify hear from the next line on. The line is
    // passed as a copy: a listener may append or clear.
    const std::string appended = lines_.back();
    appendListeners_.Notify(appended);
}

void Monitor::Clear() {
    lines_.clear();
    clearListeners_.Notify();
}

void Monitor::miMonitorClick() {
    menuChecked.Set(!menuChecked.Get());
    visible.Set(menuChecked.Get());
}

void Monitor::Label1MouseDown(bool rightButton) {
    if (rightButton) visible.Set(true);
}

std::string MonitorText(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20) {
            shown += '{';
            shown += kHex[code >> 4];
            shown += kHex[code & 0x0F];
            shown += '}';
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace morvik::channel
