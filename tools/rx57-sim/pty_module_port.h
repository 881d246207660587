#pragma once
// The module behind a pseudo-terminal: the program opens the slave side as
// its serial port. The simulator never keeps the slave open itself, so it
// sees the program close the port (the master then reports a hang-up) and
// open it again, which restarts the module as the DTR pulse of a real line
// does. The line's rate is the one the program set on its side.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "byte_sink.h"
#include "platform/event_loop.h"
#include "platform/unique_fd.h"

namespace morvik::sim {

class PtyModulePort {
public:
    struct Handlers {
        std::function<void()> onOpen;
        std::function<void(std::string_view)> onBytes;
        std::function<void(std::string_view)> onNote;
    };

    // Creates the pseudo-terminal in raw mode at initialBaud. Throws
    // std::runtime_error with the reason when it cannot.
    PtyModulePort(platform::EventLoop& loop, std::uint32_t initialBaud, Handlers handlers);
    ~PtyModulePort();
    PtyModulePort(const PtyModulePort&) = delete;
    PtyModulePort& operator=(const PtyModulePort&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    bool IsOpenByProgram() const { return openByProgram_; }
    // The rate the program's side of the line is set to; 0 when unknown.
    std::uint32_t ProgramRate() const;
    void Write(std::string_view bytes);
    // Cuts the line: nothing passes until the program closes and reopens the port.
    void Drop();

private:
    void CheckForOpen();
    void OnMasterEvent(unsigned flags);
    void Closed();

    platform::EventLoop& loop_;
    Handlers handlers_;
    platform::UniqueFd master_;
    std::string slavePath_;
    bool openByProgram_ = false;
    bool cut_ = false;
    platform::EventLoop::WatchId watch_ = 0;
    // Nothing reports a slave being opened: while the port is closed the
    // hang-up condition is looked at on this timer.
    platform::Timer openCheck_;
    ByteSink sink_;
};

}  // namespace morvik::sim
