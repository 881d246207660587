#pragma once
// A link against the simulator core, in process and in virtual time.

#include <optional>
#include <string_view>

#include "support/link_fixture.h"
#include "support/sim_module_end.h"

namespace morvik::session {

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
    // The same, without the CR that ends each command.
    std::vector<std::string> Commands() {
        std::vector<std::string> commands = Sent();
        for (std::string& command : commands) command.pop_back();
        return commands;
    }

    std::optional<SimModuleEnd> module_;
};

}  // namespace morvik::session
