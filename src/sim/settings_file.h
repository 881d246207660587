#pragma once
// Reading configuration and state files into a module configuration, and
// writing the state file so that a crash never leaves half a file.

#include <optional>
#include <string>
#include <string_view>

#include "sim/module_config.h"

namespace morvik::sim {

// Applies every entry of the text; on the first problem returns
// "<origin>:<line>: <reason>" and leaves the entries before it applied.
std::optional<std::string> ApplySettingsText(std::string_view text, std::string_view origin,
                                             ModuleConfig& config);
// Reads the file and applies it; a file that cannot be read is a problem.
std::optional<std::string> ApplySettingsFile(const std::string& path, ModuleConfig& config);
// Writes the lasting state: a new file beside the old one, flushed to disk,
// then renamed over it. The problem when that fails; the old file is then intact.
std::optional<std::string> SaveStateFile(const std::string& path, const ModuleState& state);

}  // namespace morvik::sim
