#pragma once
// One parameter profile of the module: the S-registers that the "AT&V" listing
// shows and the AT settings (echo, result codes, line settings, rate code).
// The module keeps four stored profiles and one set of current parameters.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvik::sim {

// The registers of the listing's first and second values lines, in listing order.
inline constexpr std::array<unsigned, 11> kFirstListedRegisters{0, 2, 3, 4, 5, 7, 10, 12, 153, 155, 158};
inline constexpr std::array<unsigned, 11> kSecondListedRegisters{159, 160, 161, 163, 164, 170,
                                                                 171, 172, 173, 174, 177};
inline constexpr std::size_t kProfileRegisterCount =
    kFirstListedRegisters.size() + kSecondListedRegisters.size();

// The AT settings, in the order of the listing's third values line.
enum class Setting { kEcho, kSuppression, kFlowControl, kRateCode, kResultFormat, kDcd, kDtr };
inline constexpr std::size_t kSettingCount = 7;

// The register numbers of a profile in listing order.
const std::array<unsigned, kProfileRegisterCount>& ProfileRegisters();
// Whether value is allowed for the setting (the rate code must name a known rate).
bool IsValidSetting(Setting setting, unsigned value);
// The short key used in configuration files ("echo", "baudrate", ...).
std::string_view SettingKey(Setting setting);

struct Profile {
    std::array<std::uint8_t, kProfileRegisterCount> registers{};
    std::array<unsigned, kSettingCount> settings{};

    bool operator==(const Profile&) const = default;

    // nullopt / false when n is not a profile register.
    std::optional<std::uint8_t> Register(unsigned n) const;
    bool SetRegister(unsigned n, std::uint8_t value);
    unsigned Get(Setting setting) const { return settings[static_cast<std::size_t>(setting)]; }
    void Set(Setting setting, unsigned value) { settings[static_cast<std::size_t>(setting)] = value; }
    // The rate the rate code stands for.
    std::uint32_t Baud() const;
};

// The values a profile gets from the factory and after "AT&W-n".
Profile FactoryProfile();

// The seven lines of the listing: the header, then heading and values line for
// the first registers, the second registers and the settings. Every number of
// a values line is followed by a blank, so a reader that ends a number at the
// next non-digit sees all of them.
std::vector<std::string> ProfileListing(const Profile& profile, std::string header);

}  // namespace morvik::sim
