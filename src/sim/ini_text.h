#pragma once
// The small INI dialect of the simulator's configuration and state files:
// "[section]" lines, "key = value" lines, blank lines and lines starting with
// ";" or "#" as comments. Section and key names are compared in lower case;
// values are kept as written, without surrounding blanks.

#include <string>
#include <string_view>
#include <vector>

namespace morvik::sim {

struct IniEntry {
    std::string section;  // lower case
    std::string key;      // lower case
    std::string value;
    int line = 0;         // 1-based line in the text it came from; 0 when built in code
};

struct IniParseResult {
    std::vector<IniEntry> entries;
    std::string error;  // "line N: ..." for the first bad line; empty when the text is good
};

IniParseResult ParseIni(std::string_view text);
// One "[section]" block per run of entries with the same section, LF line ends.
std::string FormatIni(const std::vector<IniEntry>& entries);

}  // namespace morvik::sim
