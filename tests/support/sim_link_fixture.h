#pragma once
// A link against the simulator core, in process and in virtual time.

#include <optional>
#include <string_view>

#include "support/link_fixture.h"
#include "sim/module_config.h"
#include "sim/rx57_module.h"

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

class SimLinkFixture : public LinkFixture {
protected:
    // Attaches a module; the port is chosen and open (" Connect").
    sim::Rx57Module& StartModule(sim::ModuleConfig config = sim::DefaultModuleConfig()) {
        module_.emplace(loop, port, std::move(config));
        Connect();
        return module_->module;
    }
    // Reset/Search, then events until the reading sequence has ended (the
    // keep-alive timer runs) or the bound passes.
    bool SearchAndRead(std::int64_t boundMs = 30000) {
        link.machine.miResetClick();
        // The first search step disables the commands (already off before the first search).
        return loop.RunUntil([&] { return !link.model.menu.commandsEnabled.Get(); }, boundMs) &&
               loop.RunUntil([&] { return link.fields.connectTimeout.IsActive(); }, boundMs);
    }
    // The texts the program wrote, in order, since the last call.
    std::vector<std::string> Sent() { return port.TakeWrites(); }

    std::optional<SimModuleEnd> module_;
};

}  // namespace morvik::session
