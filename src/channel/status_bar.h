#pragma once
// The main window's five status panels as plain texts.

#include <array>
#include <string>

#include "channel/observable.h"

namespace morvik::channel {

enum StatusPanel : int {
    kPortPanel = 0,        // the port: " IP: ..." or "Com3 /19200"
    kConnectionPanel = 1,  // " Connect" or " Disconnect"
    kLinkStatePanel = 2,   // the link state text
    kErrorPanel = 3,       // an error text, emptied at the start of every wait
    kBusyPanel = 4,        // the busy counter, "x" during the keep-alive probe
};

inline constexpr const char* kConnectText = " Connect";
inline constexpr const char* kDisconnectText = " Disconnect";

struct StatusBar {
    std::array<Observable<std::string>, 5> panels;

    const std::string& Text(StatusPanel panel) const { return panels[panel].Get(); }
    void SetText(StatusPanel panel, const std::string& text) { panels[panel].Set(text); }
    bool Connected() const { return Text(kConnectionPanel) == kConnectText; }
};

}  // namespace morvik::channel
