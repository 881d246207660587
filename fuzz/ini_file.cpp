// The INI reader on any text, and the writer on any names and values.
//
// Input: the file's text; after a NUL byte, writes: section, key and value,
// each ended by a NUL byte. What the object then holds, written out as Save
// writes it, must read back without broken lines to the same sections, keys
// and values, spelt the same and in the same order; only the blanks at the
// ends of a value are gone, as reading drops them.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "platform/ini_file.h"
#include "platform/unique_fd.h"

namespace {

using morvik::fuzz::Require;
using morvik::platform::IniFile;

// A file in memory, reached by path like any other, rewritten for each input.
class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("ini", 0)), path_("/proc/self/fd/" + std::to_string(fd_.Get())) {
        Require(fd_.Valid(), "a file in memory can be made");
    }

    const std::string& Path() const { return path_; }
    void Write(std::string_view text) {
        Require(ftruncate(fd_.Get(), 0) == 0, "the file in memory can be emptied");
        Require(pwrite(fd_.Get(), text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()),
                "the file in memory takes the text");
    }

private:
    morvik::platform::UniqueFd fd_;
    std::string path_;
};

std::string_view TakePiece(std::string_view& rest) {
    const std::size_t end = std::min(rest.find('\0'), rest.size());
    const std::string_view piece = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    return piece;
}

std::string_view WithoutEndBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

void WriteAll(IniFile& ini, std::string_view writes) {
    while (!writes.empty()) {
        const std::string section(TakePiece(writes));
        const std::string key(TakePiece(writes));
        const std::string value(TakePiece(writes));
        try {
            ini.WriteString(section, key, value);
        } catch (const std::invalid_argument&) {
            // A name that could not be read back is refused; the next write follows.
        }
    }
}

void RequireReadBack(const IniFile& written, const IniFile& read) {
    Require(read.BrokenLines().empty(), "a written file has no broken lines");
    Require(read.Sections() == written.Sections(), "the sections read back as written");
    for (const std::string& section : written.Sections()) {
        const auto expected = written.Entries(section);
        const auto actual = read.Entries(section);
        Require(actual.size() == expected.size(), "a section reads back with all its keys");
        for (std::size_t i = 0; i < expected.size(); ++i) {
            Require(actual[i].first == expected[i].first, "the keys read back as written, in order");
            Require(actual[i].second == WithoutEndBlanks(expected[i].second), "the values read back as written");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MemoryFile file;
    std::string_view input = morvik::fuzz::AsText(data, size);
    const std::string_view text = TakePiece(input);

    file.Write(text);
    IniFile ini;
    Require(ini.Load(file.Path()), "the file in memory can be read");
    WriteAll(ini, input);

    file.Write(ini.Text());
    IniFile back;
    Require(back.Load(file.Path()), "the written file can be read");
    RequireReadBack(ini, back);
    return 0;
}
