#pragma once
// The device panel at the top of the main window.

#include <string>

#include "channel/observable.h"

namespace morvik::features {

struct DevicePanel {
    channel::Observable<std::string> edIPUI;        // "Device ID:", the module's own identity
    channel::Observable<std::string> edSN;          // "Device S/N:"
    channel::Observable<std::string> edComment;     // "Comment:"
    channel::Observable<std::string> lbConfigType;  // the configuration type text, bold
    channel::Observable<std::string> TestErgebnis{std::string("0/0")};  // test run: searches / waits without answer
};

}  // namespace morvik::features
