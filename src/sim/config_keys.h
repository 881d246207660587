#pragma once
// The keys of the simulator's configuration files and "--set" options, and the
// entries of the state file (which is itself a valid configuration file).
//
//  [module]      config_type (0..3), identity (a.b.c.d.e), announcement,
//                hardware, firmware, product, manufacture (ATI0..ATI3),
//                active_profile (1..4), current_subscription (S189),
//                registrations (on-air registrations so far)
//  [slots]       slot0 .. slot15 = a.b.c.d.e (the slot in use) or "empty";
//                slot<n>_state = 0..255 (S191, after slot<n>)
//  [profile]     applies to all four stored profiles; [profile1] .. [profile4]
//                to one: s0, s2, ... s177 (the listed registers), echo,
//                suppression, flow_ctrl, baudrate (in baud), result_format, dcd, dtr
//  [timing]      latency_ms, restart_delay_ms, wait_interval_ms, split_gap_ms
//  [answers]     split_answers, ok_after_values (yes/no)
//  [connection]  reset_on_connect (yes/no)
//  [onair]       partner (a.b.c.d.e), waits, result (ok, error, never)
//  [faults]      silent_on, error_on, garbage_on, control_on, restart_on: command
//                triggers separated by blanks (see FaultTrigger); drop_after

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/module_config.h"

namespace morvik::sim {

// Applies one setting; the reason when the section, key or value is not accepted.
std::optional<std::string> ApplySetting(ModuleConfig& config, std::string_view section,
                                        std::string_view key, std::string_view value);

struct SettingEntry {
    std::string section;
    std::string key;
    std::string value;
};

// Every entry of the lasting state, in the order they are to be written.
std::vector<SettingEntry> StateEntries(const ModuleState& state);

}  // namespace morvik::sim
