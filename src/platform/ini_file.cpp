#include "platform/ini_file.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <string_view>

#include "platform/atomic_file.h"

namespace morvik::platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

void CheckSectionName(const std::string& name) {
    if (HasLineBreak(name) || Trim(name) != name) {
        throw std::invalid_argument("INI section name cannot be written: \"" + name + "\"");
    }
}

void CheckKeyName(const std::string& key) {
    if (key.empty() || HasLineBreak(key) || key.find('=') != std::string::npos || key.front() == ';' ||
        Trim(key) != key) {
        throw std::invalid_argument("INI key cannot be written: \"" + key + "\"");
    }
}

// First element of range whose name matches, ignoring case.
template <class Range, class NameOf>
auto FindByName(Range& range, std::string_view name, NameOf nameOf) {
    return std::find_if(range.begin(), range.end(), [&](const auto& item) { return SameName(nameOf(item), name); });
}

std::string WithoutLineBreaks(std::string value) {
    std::replace_if(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return value;
}

// Splits at CR, LF or CR LF; the last line may lack its end.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

}  // namespace

bool IniFile::Load(const std::string& path) {
    path_ = path;
    sections_.clear();
    brokenLines_.clear();
    const FileContent content = ReadWholeFile(path);
    error_ = content.error;
    readable_ = error_.empty();
    if (readable_) Parse(content.bytes);
    return readable_;
}

void IniFile::Parse(const std::string& text) {
    Section* current = nullptr;
    bool underBrokenHeader = false;
    int number = 0;
    for (const std::string_view raw : SplitLines(text)) {
        ++number;
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() == 1) {
                brokenLines_.push_back({number, std::string(raw), "section header without \"]\""});
                underBrokenHeader = true;
                continue;
            }
            current = &SectionForWriting(std::string(Trim(line.substr(1, line.size() - 2))));
            underBrokenHeader = false;
            continue;
        }
        if (current == nullptr) continue;  // before the first section
        if (underBrokenHeader) {
            brokenLines_.push_back({number, std::string(raw), "under a broken section header"});
            continue;
        }
        const std::size_t equals = line.find('=');
        const std::string_view key = equals == std::string_view::npos ? "" : Trim(line.substr(0, equals));
        if (key.empty()) {
            brokenLines_.push_back({number, std::string(raw), "neither a section header nor key=value"});
            continue;
        }
        if (FindEntry(*current, key) != current->entries.end()) {
            brokenLines_.push_back({number, std::string(raw), "repeats a key of its section"});
            continue;
        }
        current->entries.push_back({std::string(key), std::string(Trim(line.substr(equals + 1)))});
    }
}

bool IniFile::Save() {
    if (!readable_) {
        error_ = "Not saved: \"" + path_ + "\" could not be read, and saving would overwrite it";
        return false;
    }
    if (path_.empty()) {
        error_ = "Not saved: no file name";
        return false;
    }
    const auto failure = WriteFileAtomically(path_, Text());
    error_ = failure.value_or("");
    return !failure;
}

std::string IniFile::Text() const {
    std::string text;
    for (const Section& section : sections_) {
        text += "[" + section.name + "]\r\n";
        for (const Entry& entry : section.entries) text += entry.key + "=" + entry.value + "\r\n";
        text += "\r\n";
    }
    return text;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
    const auto found = FindSection(section);
    if (found == sections_.end()) return defaultValue;
    const auto entry = FindEntry(*found, key);
    return entry == found->entries.end() ? defaultValue : entry->value;
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int defaultValue) const {
    const std::string text = ReadString(section, key);
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (digits.empty() || digits.front() < '0' || digits.front() > '9') return defaultValue;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return defaultValue;
    return value;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    CheckKeyName(key);
    Section& target = SectionForWriting(section);
    const auto existing = FindEntry(target, key);
    if (existing != target.entries.end()) {
        existing->value = WithoutLineBreaks(value);
    } else {
        target.entries.push_back({key, WithoutLineBreaks(value)});
    }
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::DeleteKey(const std::string& section, const std::string& key) {
    const auto found = FindSection(section);
    if (found == sections_.end()) return;
    std::erase_if(found->entries, [&](const Entry& entry) { return SameName(entry.key, key); });
}

void IniFile::EraseSection(const std::string& section) {
    std::erase_if(sections_, [&](const Section& candidate) { return SameName(candidate.name, section); });
}

bool IniFile::SectionExists(const std::string& section) const { return FindSection(section) != sections_.end(); }

std::vector<std::string> IniFile::Sections() const {
    std::vector<std::string> names;
    for (const Section& section : sections_) names.push_back(section.name);
    return names;
}

std::vector<std::string> IniFile::Keys(const std::string& section) const {
    std::vector<std::string> keys;
    const auto found = FindSection(section);
    if (found != sections_.end()) {
        for (const Entry& entry : found->entries) keys.push_back(entry.key);
    }
    return keys;
}

std::vector<IniFile::Section>::const_iterator IniFile::FindSection(std::string_view name) const {
    return FindByName(sections_, name, [](const Section& section) -> const std::string& { return section.name; });
}

std::vector<IniFile::Section>::iterator IniFile::FindSection(std::string_view name) {
    return FindByName(sections_, name, [](const Section& section) -> const std::string& { return section.name; });
}

IniFile::Section& IniFile::SectionForWriting(const std::string& name) {
    const auto found = FindSection(name);
    if (found != sections_.end()) return *found;
    CheckSectionName(name);
    return sections_.emplace_back(Section{name, {}});
}

std::vector<IniFile::Entry>::iterator IniFile::FindEntry(Section& section, std::string_view key) {
    return FindByName(section.entries, key, [](const Entry& entry) -> const std::string& { return entry.key; });
}

std::vector<IniFile::Entry>::const_iterator IniFile::FindEntry(const Section& section, std::string_view key) {
    return FindByName(section.entries, key, [](const Entry& entry) -> const std::string& { return entry.key; });
}

}  // namespace morvik::platform
