#include "features/portdir/port_directory_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>
#include <string_view>

#include "platform/ini_file.h"

namespace morvik::portdir {

namespace {

constexpr const char* kSection = "Port";
// A hand-edited count of a billion would otherwise fill memory with empty rows.
constexpr int kMaxEntries = 999;

std::string Numbered(const char* word, int n) { return word + std::to_string(n); }

// The entry number of an "Addr"/"Port"/"Comment" key (any letter case), or 0.
int EntryNumberOfKey(const std::string& key) {
    for (std::string_view word : {"Addr", "Port", "Comment"}) {
        if (key.size() <= word.size()) continue;
        bool sameWord = true;
        for (std::size_t i = 0; i < word.size(); ++i) {
            sameWord = sameWord && std::tolower(static_cast<unsigned char>(key[i])) ==
                                       std::tolower(static_cast<unsigned char>(word[i]));
        }
        if (!sameWord) continue;
        const std::string_view digits = std::string_view(key).substr(word.size());
        if (digits.front() == '0') return 0;  // entry numbers have no leading zeros
        int number = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        return error == std::errc() && end == digits.data() + digits.size() ? number : 0;
    }
    return 0;
}

}  // namespace

PortDirectoryContents ReadPortDirectory(const std::string& folder) {
    PortDirectoryContents contents;
    platform::IniFile file;
    if (!file.Load(folder + kPortDirectoryFileName)) contents.error = file.Error();
    const int count = std::min(file.ReadInteger(kSection, "No", 0), kMaxEntries);
    for (int n = 1; n <= count; ++n) {
        contents.entries.push_back(PortEntry{file.ReadString(kSection, Numbered("Addr", n)),
                                             file.ReadString(kSection, Numbered("Port", n)),
                                             file.ReadString(kSection, Numbered("Comment", n))});
    }
    if (contents.entries.empty()) contents.entries.push_back(PortEntry{"Com1", "", ""});
    return contents;
}

std::string WritePortDirectory(const std::string& folder, const std::vector<PortEntry>& entries) {
    platform::IniFile file;
    if (!file.Load(folder + kPortDirectoryFileName)) return file.Error();
    const int storedCount = file.ReadInteger(kSection, "No", 0);
    const int count = static_cast<int>(entries.size());
    file.WriteInteger(kSection, "No", count);
    for (int n = 1; n <= count; ++n) {
        const PortEntry& entry = entries[n - 1];
        file.WriteString(kSection, Numbered("Addr", n), entry.address);
        file.WriteString(kSection, Numbered("Port", n), entry.ipPort);
        file.WriteString(kSection, Numbered("Comment", n), entry.comment);
    }
    // The keys of entries count+1 up to the stored count go; found by looking
    // at the keys present rather than trying every number up to the count.
    for (const std::string& key : file.Keys(kSection)) {
        const int n = EntryNumberOfKey(key);
        if (n > count && n <= storedCount) file.DeleteKey(kSection, key);
    }
    if (!file.Save()) return file.Error();
    return {};
}

}  // namespace morvik::portdir
