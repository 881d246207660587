#pragma once
// The device panel at the top of the main window.

#include <string>

#include "link/observable.h"

namespace morvik::link {

struct DevicePanel {
    Observable<std::string> edIPUI;        // "Device ID:", the module's own identity
    Observable<std::string> edSN;          // "Device S/N:"
    Observable<std::string> edComment;     // "Comment:"
    Observable<std::string> lbConfigType;  // the configuration type text, bold
    Observable<std::string> TestErgebnis{std::string("0/0")};  // test run: searches / waits without answer
};

}  // namespace morvik::link
