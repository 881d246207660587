#include "sim/profile.h"

#include <algorithm>

#include "sim/baud_rate.h"

namespace morvik::sim {

namespace {

struct SettingInfo {
    std::string_view key;
    std::string_view heading;
    unsigned maximum;
    unsigned factoryValue;
};

constexpr std::array<SettingInfo, kSettingCount> kSettings{{
    {"echo", "E", 1, 1},
    {"suppression", "Q", 1, 0},
    {"flow_ctrl", "\\Q", 3, 0},
    {"baudrate", "\\R", 0, kRate19200Code},  // checked against the known rate codes
    {"result_format", "V", 1, 1},
    {"dcd", "&C", 1, 1},
    {"dtr", "&D", 2, 2},
}};

// Factory values of the listed registers, in listing order.
constexpr std::array<std::uint8_t, kProfileRegisterCount> kFactoryRegisters{
    0, 43, 13, 10, 8, 30, 14, 50, 0, 0, 30,   // S0 .. S158
    10, 0, 0, 2, 0, 0, 1, 0, 0, 2, 0,         // S159 .. S177
};

const SettingInfo& Info(Setting setting) { return kSettings[static_cast<std::size_t>(setting)]; }

std::string Padded(unsigned value) {
    std::string text = std::to_string(value);
    if (text.size() < 3) text.insert(0, 3 - text.size(), '0');
    return text;
}

// One heading line and one values line; each column is as wide as its wider
// entry and every entry, the last one included, is followed by a blank.
void AddColumns(std::vector<std::string>& lines, const std::vector<std::string>& headings,
                const std::vector<std::string>& values) {
    std::string headingLine;
    std::string valuesLine;
    for (std::size_t i = 0; i < headings.size(); ++i) {
        const std::size_t width = std::max(headings[i].size(), values[i].size());
        headingLine += headings[i] + std::string(width - headings[i].size() + 1, ' ');
        valuesLine += values[i] + std::string(width - values[i].size() + 1, ' ');
    }
    while (!headingLine.empty() && headingLine.back() == ' ') headingLine.pop_back();
    lines.push_back(std::move(headingLine));
    lines.push_back(std::move(valuesLine));
}

void AddRegisterColumns(std::vector<std::string>& lines, const Profile& profile,
                        const std::array<unsigned, 11>& registers) {
    std::vector<std::string> headings;
    std::vector<std::string> values;
    for (const unsigned n : registers) {
        headings.push_back("S" + std::to_string(n));
        values.push_back(Padded(*profile.Register(n)));
    }
    AddColumns(lines, headings, values);
}

}  // namespace

const std::array<unsigned, kProfileRegisterCount>& ProfileRegisters() {
    static const auto registers = [] {
        std::array<unsigned, kProfileRegisterCount> all{};
        std::copy(kFirstListedRegisters.begin(), kFirstListedRegisters.end(), all.begin());
        std::copy(kSecondListedRegisters.begin(), kSecondListedRegisters.end(),
                  all.begin() + kFirstListedRegisters.size());
        return all;
    }();
    return registers;
}

bool IsValidSetting(Setting setting, unsigned value) {
    if (setting == Setting::kRateCode) return BaudOfRateCode(value).has_value();
    return value <= Info(setting).maximum;
}

std::string_view SettingKey(Setting setting) { return Info(setting).key; }

std::optional<std::uint8_t> Profile::Register(unsigned n) const {
    const auto& numbers = ProfileRegisters();
    const auto it = std::find(numbers.begin(), numbers.end(), n);
    if (it == numbers.end()) return std::nullopt;
    return registers[static_cast<std::size_t>(it - numbers.begin())];
}

bool Profile::SetRegister(unsigned n, std::uint8_t value) {
    const auto& numbers = ProfileRegisters();
    const auto it = std::find(numbers.begin(), numbers.end(), n);
    if (it == numbers.end()) return false;
    registers[static_cast<std::size_t>(it - numbers.begin())] = value;
    return true;
}

std::uint32_t Profile::Baud() const {
    return BaudOfRateCode(Get(Setting::kRateCode)).value_or(19200);
}

Profile FactoryProfile() {
    Profile profile;
    profile.registers = kFactoryRegisters;
    for (std::size_t i = 0; i < kSettingCount; ++i) profile.settings[i] = kSettings[i].factoryValue;
    return profile;
}

std::vector<std::string> ProfileListing(const Profile& profile, std::string header) {
    std::vector<std::string> lines{std::move(header)};
    AddRegisterColumns(lines, profile, kFirstListedRegisters);
    AddRegisterColumns(lines, profile, kSecondListedRegisters);
    std::vector<std::string> headings;
    std::vector<std::string> values;
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        headings.emplace_back(kSettings[i].heading);
        values.push_back(std::to_string(profile.settings[i]));
    }
    AddColumns(lines, headings, values);
    return lines;
}

}  // namespace morvik::sim
