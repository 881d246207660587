#include "sim/settings_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "sim/config_keys.h"

namespace morvik::sim {

std::optional<std::string> ApplySettingsFile(const std::string& path, ModuleConfig& config) {
    // A missing file reads as an empty one, but a configuration named on the
    // command line that is not there is a mistake worth hearing about.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return "cannot read " + path + ": " + std::strerror(errno);
    platform::IniFile file;
    if (!file.Load(path)) return file.Error();
    if (!file.BrokenLines().empty()) {
        const auto& broken = file.BrokenLines().front();
        return path + ":line " + std::to_string(broken.number) + ": " + broken.reason + " (\"" + broken.text + "\")";
    }
    for (const std::string& section : file.Sections()) {
        for (const std::string& key : file.Keys(section)) {
            if (auto problem = ApplySetting(config, section, key, file.ReadString(section, key))) {
                return path + ": [" + section + "] " + key + ": " + *problem;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> SaveStateFile(const std::string& path, const ModuleState& state) {
    platform::IniFile file;
    for (const SettingEntry& entry : StateEntries(state)) file.WriteString(entry.section, entry.key, entry.value);
    return platform::WriteFileAtomically(path, file.Text());
}

}  // namespace morvik::sim
