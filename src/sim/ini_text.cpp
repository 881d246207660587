#include "sim/ini_text.h"

#include "sim/text_util.h"

namespace morvik::sim {

IniParseResult ParseIni(std::string_view text) {
    IniParseResult result;
    std::string section;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        const auto fail = [&](const std::string& why) {
            result.error = "line " + std::to_string(lineNumber) + ": " + why;
            result.entries.clear();
            return result;
        };
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3) return fail("a section line must look like [name]");
            section = ToLower(Trim(line.substr(1, line.size() - 2)));
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return fail("expected \"key = value\"");
        const std::string key = ToLower(Trim(line.substr(0, equals)));
        if (key.empty()) return fail("the key before \"=\" is missing");
        result.entries.push_back(IniEntry{section, key, std::string(Trim(line.substr(equals + 1))), lineNumber});
    }
    return result;
}

std::string FormatIni(const std::vector<IniEntry>& entries) {
    std::string text;
    const std::string* section = nullptr;
    for (const IniEntry& entry : entries) {
        if (section == nullptr || *section != entry.section) {
            if (section != nullptr) text += '\n';
            text += "[" + entry.section + "]\n";
            section = &entry.section;
        }
        text += entry.key + " = " + entry.value + '\n';
    }
    return text;
}

}  // namespace morvik::sim
