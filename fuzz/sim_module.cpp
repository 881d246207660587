// The simulated module's whole line handling on any bytes: the module starts,
// is escaped into command mode, and then receives the input in reads with
// pauses between them (short ones, and now and then one past the guard
// time), so echo, command lines, answers, escapes, restarts, configuration
// changes and on-air subscriptions all run on the virtual clock.
//
// Input: one byte seeds the reads and pauses, the rest is what the program
// sends. Whatever it sends, the module's lasting state stays one it could
// have: a known configuration type, an active profile from 1 to 4, and an
// answering module once the restarts are over.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "platform/virtual_loop.h"
#include "sim/module_config.h"
#include "sim/rx57_module.h"

namespace {

using morvik::fuzz::ReadCutter;
using morvik::fuzz::Require;
using morvik::sim::Rx57Module;

constexpr std::int64_t kSettleMs = 60000;  // longer than any restart or on-air subscription

std::int64_t PauseMs(ReadCutter& cutter) {
    const unsigned draw = cutter.Draw();
    return draw % 8 == 0 ? draw % 3000 : draw % 40;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input = morvik::fuzz::AsText(data, size);
    if (input.empty()) return 0;
    ReadCutter cutter(static_cast<std::uint8_t>(input[0]));
    input.remove_prefix(1);

    morvik::platform::VirtualLoop loop;
    Rx57Module module(loop, morvik::sim::DefaultModuleConfig());
    module.SetOutput([](std::string_view) {});
    module.Reset();
    loop.AdvanceBy(module.Config().restartDelayMs + 1000);
    module.Feed("+++");
    loop.AdvanceBy(1000);
    Require(module.CurrentMode() == Rx57Module::Mode::kCommand, "the module starts and escapes into command mode");

    for (std::size_t at = 0; at < input.size();) {
        const std::size_t read = cutter.Next(input.size() - at);
        module.Feed(input.substr(at, read));
        at += read;
        loop.AdvanceBy(PauseMs(cutter));
    }
    loop.AdvanceBy(kSettleMs);

    const morvik::sim::ModuleState& state = module.State();
    Require(state.configType <= morvik::sim::kServerFp, "the configuration type is a known one");
    Require(state.activeProfile >= 1 && state.activeProfile <= morvik::sim::kStoredProfileCount,
            "the active profile is 1 to 4");
    Require(module.CurrentMode() == Rx57Module::Mode::kData || module.CurrentMode() == Rx57Module::Mode::kCommand,
            "the module answers once its restarts are over");
    return 0;
}
