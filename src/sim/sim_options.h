#pragma once
// The command line of the rx57-sim program, and the module configuration it
// describes: defaults, then the configuration file, then the state file, then
// the settings given as options.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/module_config.h"

namespace morvik::sim {

struct SimOptions {
    struct SettingOption {
        std::string section;
        std::string key;
        std::string value;
    };

    bool help = false;
    bool tcp = false;  // serve over TCP (also when no transport is named)
    std::string tcpHost = "127.0.0.1";
    std::uint16_t tcpPort = 8000;  // 0: any free port
    bool pty = false;
    std::optional<std::string> configFile;
    std::optional<std::string> stateFile;
    std::optional<std::string> logFile;  // "-" for standard output
    std::vector<SettingOption> settings;  // in the order given
};

struct ParsedSimOptions {
    SimOptions options;
    std::string error;  // empty when the command line is good
};

// args without the program name.
ParsedSimOptions ParseSimOptions(const std::vector<std::string>& args);
std::string SimUsage();

// Builds the module's configuration; the reason when something does not fit.
// A state file that does not exist yet is fine: it is written on the first change.
std::optional<std::string> BuildModuleConfig(const SimOptions& options, ModuleConfig& config);

}  // namespace morvik::sim
