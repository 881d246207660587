#pragma once
// TCmBaseComponent: what the components of the communication layer share:
// the event loop they live on (their "user-interface thread"), and the edge
// where the layer's result codes become exceptions.

#include "comm/exceptions.h"
#include "platform/event_loop.h"

namespace morvik::comm {

class TCmBaseComponent {
public:
    explicit TCmBaseComponent(platform::EventLoop& loop) : loop_(loop) {}
    virtual ~TCmBaseComponent() = default;
    TCmBaseComponent(const TCmBaseComponent&) = delete;
    TCmBaseComponent& operator=(const TCmBaseComponent&) = delete;

    platform::EventLoop& Loop() const { return loop_; }

protected:
    // 0 or more passes through; a negative code raises its exception.
    static int CheckException(int code) { return CheckError(code); }

private:
    platform::EventLoop& loop_;
};

}  // namespace morvik::comm
