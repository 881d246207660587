#include "features/portdir/port_directory_file.h"

#include <charconv>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ini_file.h"
#include "platform/named_list.h"

namespace morvik::portdir {

namespace {

constexpr const char* kSection = "Port";

std::string Numbered(const char* word, std::size_t n) { return word + std::to_string(n); }

// An "Addr"/"Port"/"Comment" key (any letter case) followed by an entry
// number: which field it holds and the number; number 0 for any other key.
struct EntryKey {
    std::string PortEntry::*field = nullptr;
    std::uint64_t number = 0;
};

EntryKey ParseEntryKey(std::string_view key) {
    static constexpr std::pair<std::string_view, std::string PortEntry::*> kWords[] = {
        {"Addr", &PortEntry::address}, {"Port", &PortEntry::ipPort}, {"Comment", &PortEntry::comment}};
    for (const auto& [word, field] : kWords) {
        if (key.size() <= word.size() || !platform::SameName(key.substr(0, word.size()), word)) continue;
        const std::string_view digits = key.substr(word.size());
        if (digits.front() == '0') return {};  // entry numbers have no leading zeros
        std::uint64_t number = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (error != std::errc() || end != digits.data() + digits.size()) return {};
        return {field, number};
    }
    return {};
}

// Lines that could not be read are not written back: the user hears of them first.
std::string BrokenLinesWarning(const std::string& path, const std::vector<platform::IniFile::BrokenLine>& broken) {
    if (broken.empty()) return {};
    const auto& first = broken.front();
    const std::string count = broken.size() == 1 ? "1 line" : std::to_string(broken.size()) + " lines";
    return "\"" + path + "\": " + count + " not understood will be left out when the list is saved. Line " +
           std::to_string(first.number) + ": \"" + first.text + "\" (" + first.reason + ")";
}

}  // namespace

PortDirectoryContents ReadPortDirectory(const std::string& folder) {
    PortDirectoryContents contents;
    const std::string path = folder + kPortDirectoryFileName;
    platform::IniFile file;
    if (!file.Load(path)) {
        contents.error = file.Error() + ". The list is not saved while the file cannot be read.";
    }
    contents.warning = BrokenLinesWarning(path, file.BrokenLines());
    // The entries are what the keys hold, in the order of their numbers; "No"
    // is not trusted to say how many there are (see the header).
    std::map<std::uint64_t, PortEntry> numbered;
    for (auto& [key, value] : file.Entries(kSection)) {
        const EntryKey entryKey = ParseEntryKey(key);
        if (entryKey.number != 0) numbered[entryKey.number].*entryKey.field = std::move(value);
    }
    contents.entries.reserve(numbered.size());
    for (auto& [number, entry] : numbered) contents.entries.push_back(std::move(entry));
    if (contents.entries.empty()) contents.entries.push_back(PortEntry{"Com1", "", ""});
    return contents;
}

std::string WritePortDirectory(const std::string& folder, const std::vector<PortEntry>& entries) {
    platform::IniFile file;
    if (!file.Load(folder + kPortDirectoryFileName)) return file.Error();
    file.WriteInteger(kSection, "No", static_cast<int>(entries.size()));
    for (std::size_t n = 1; n <= entries.size(); ++n) {
        const PortEntry& entry = entries[n - 1];
        file.WriteString(kSection, Numbered("Addr", n), entry.address);
        file.WriteString(kSection, Numbered("Port", n), entry.ipPort);
        file.WriteString(kSection, Numbered("Comment", n), entry.comment);
    }
    // Reading made every entry key a row, so any entry key beyond the rows
    // now belongs to a row that was removed or numbered anew.
    for (const std::string& key : file.Keys(kSection)) {
        if (ParseEntryKey(key).number > entries.size()) file.DeleteKey(kSection, key);
    }
    if (!file.Save()) return file.Error();
    return {};
}

}  // namespace morvik::portdir
