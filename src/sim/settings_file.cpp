#include "sim/settings_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "sim/config_keys.h"
#include "sim/ini_text.h"

namespace morvik::sim {

namespace {

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Closes the descriptor on every path out of SaveStateFile.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<std::string> ApplySettingsText(std::string_view text, std::string_view origin,
                                             ModuleConfig& config) {
    const IniParseResult parsed = ParseIni(text);
    if (!parsed.error.empty()) return std::string(origin) + ":" + parsed.error;
    for (const IniEntry& entry : parsed.entries) {
        if (auto problem = ApplySetting(config, entry.section, entry.key, entry.value)) {
            return std::string(origin) + ":" + std::to_string(entry.line) + ": [" + entry.section + "] " +
                   entry.key + ": " + *problem;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ApplySettingsFile(const std::string& path, ModuleConfig& config) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return SystemError("cannot read", path);
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) return SystemError("cannot read", path);
    return ApplySettingsText(text.str(), path, config);
}

std::optional<std::string> SaveStateFile(const std::string& path, const ModuleState& state) {
    const std::string text = "; RX57 simulator state, rewritten after every change\n" +
                             FormatIni(StateEntries(state));
    const std::string temporary = path + ".new";
    {
        FileDescriptor file{::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
        if (file.fd < 0) return SystemError("cannot create", temporary);
        if (!WriteAll(file.fd, text) || ::fsync(file.fd) != 0) {
            const std::string problem = SystemError("cannot write", temporary);
            ::unlink(temporary.c_str());
            return problem;
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string problem = SystemError("cannot replace", path);
        ::unlink(temporary.c_str());
        return problem;
    }
    // The rename itself lasts only once the directory is on disk too.
    FileDescriptor directory{::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (directory.fd >= 0) ::fsync(directory.fd);
    return std::nullopt;
}

}  // namespace morvik::sim
