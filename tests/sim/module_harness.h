#pragma once
// A simulated module on the virtual-time loop, with everything it writes
// collected, and the few steps every dialogue test starts with.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/virtual_loop.h"
#include "sim/module_config.h"
#include "sim/rx57_module.h"

namespace morvik::sim::test {

// The received text cut into lines at CR LF, as a program's line matcher does,
// without the empty lines.
std::vector<std::string> SplitLines(std::string_view bytes);

class ModuleHarness {
public:
    explicit ModuleHarness(ModuleConfig config = DefaultModuleConfig());

    void Send(std::string_view bytes) { module.Feed(bytes); }
    void Advance(std::int64_t ms) { loop.AdvanceBy(ms); }
    // Everything written since the last call, joined.
    std::string TakeOutput();

    // Power-up, announcement, escape into command mode; echo switched off when
    // asked (most tests read answers, not echoes). The output is taken.
    void StartInCommandMode(bool echo = false);
    // Sends the line with CR and returns the lines received within waitMs,
    // without the line's echo.
    std::vector<std::string> Command(std::string_view line, std::int64_t waitMs = 1000);
    // The answer of a command expected to answer with exactly one line.
    std::string Answer(std::string_view line);

    platform::VirtualLoop loop;
    Rx57Module module;
    std::vector<std::string> writes;  // each write of the module, in order
    int drops = 0;                    // calls of the drop handler

private:
    std::size_t taken_ = 0;
};

}  // namespace morvik::sim::test
