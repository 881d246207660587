#pragma once
// The simulator core as the far end of the in-process port.

#include <string_view>

#include "platform/event_loop.h"
#include "sim/module_config.h"
#include "sim/rx57_module.h"
#include "support/sim_port.h"

namespace morvik::session {

// The simulated module behind the in-process port: opening the port with DTR
// high, or raising DTR, resets it, as the DTR pulse does on a real line.
class SimModuleEnd : public test::ModuleEnd {
public:
    SimModuleEnd(platform::EventLoop& loop, test::SimPort& port, sim::ModuleConfig config)
        : module(loop, std::move(config)), port_(port) {
        module.SetOutput([this](std::string_view bytes) { port_.BytesFromModule(bytes); });
        port_.Attach(this);
    }
    ~SimModuleEnd() override { port_.Attach(nullptr); }

    void PortOpened() override {
        if (port_.Dtr()) module.Reset();
    }
    void PortClosed() override {}
    void DtrChanged(bool on) override {
        if (on) module.Reset();
    }
    void BytesFromProgram(std::string_view bytes) override { module.Feed(bytes); }

    sim::Rx57Module module;

private:
    test::SimPort& port_;
};

}  // namespace morvik::session
