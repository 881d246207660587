#pragma once
// Reading configuration and state files into a module configuration, and
// writing the state file so that a crash never leaves half a file. Both are
// INI files of the program's usual kind; the state file is itself a valid
// configuration file.

#include <optional>
#include <string>

#include "sim/module_config.h"

namespace morvik::sim {

// Reads the file and applies its settings in file order; on the first problem
// returns "<path>: ..." naming the line or the setting, with the settings
// before it applied. A missing file is a problem too.
std::optional<std::string> ApplySettingsFile(const std::string& path, ModuleConfig& config);
// Writes the lasting state atomically; the problem when that fails (the old file is then intact).
std::optional<std::string> SaveStateFile(const std::string& path, const ModuleState& state);

}  // namespace morvik::sim
