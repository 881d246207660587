#pragma once
// Carries out the commands of one command line on the module's memory and
// says what the module answers and does next. Commands run in order; the
// first one that fails ends the line with "ERROR", the ones before it stay done.

#include <optional>
#include <string>
#include <vector>

#include "sim/command_parser.h"
#include "sim/module_memory.h"

namespace morvik::sim {

struct LineOutcome {
    enum class Result { kNone, kOk, kError };
    struct OnAirRequest {
        unsigned slot;
    };

    std::vector<std::string> lines;  // values, identity texts and listings, in order
    Result result = Result::kOk;     // kNone when an on-air subscription answers later
    bool restart = false;            // "Z" or a configuration change
    std::optional<OnAirRequest> onAir;
};

// okAfterValues: also end lines that produced values with "OK" (by default
// such a line is answered by its values alone).
LineOutcome ExecuteCommands(const std::vector<Command>& commands, ModuleMemory& memory, bool okAfterValues);

}  // namespace morvik::sim
