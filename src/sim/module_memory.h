#pragma once
// The module's memory as its commands see it: the S-register map, the current
// parameters, the four stored profiles, the subscription slots and the
// identity texts. Pure data and rules, no timing.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/module_config.h"

namespace morvik::sim {

class ModuleMemory {
public:
    explicit ModuleMemory(const ModuleConfig& config);

    // What a restart does to memory: the active profile becomes the current
    // parameters and the slot selector returns to 0.
    void Restart();

    // S-registers: the listed profile registers (current parameters), S154
    // configuration type (read only), S189 current subscription (read only),
    // S190 slot selector, S191 and S193..S197 of the selected slot, S220..S224
    // own identity (read only). nullopt / false for anything else.
    std::optional<std::uint8_t> ReadRegister(unsigned n) const;
    bool WriteRegister(unsigned n, unsigned value);

    bool SetSetting(Setting setting, unsigned value);
    // "&W<n>": the current parameters into profile n (the active one when absent).
    bool StoreProfile(std::optional<unsigned> n);
    // "&W-<n>": profile n back to factory values.
    bool ClearProfile(std::optional<unsigned> n);
    // "&F<n>": profile n becomes active and current; "&F" or "&F0" loads the
    // factory values into the current parameters only.
    bool ActivateProfile(std::optional<unsigned> n);
    // "&V<n>": the seven listing lines of the current parameters (0 or absent) or of profile n.
    std::optional<std::vector<std::string>> Listing(std::optional<unsigned> n) const;
    // "I<n>": hardware, firmware, product, manufacture for 0..3.
    std::optional<std::string> InfoText(std::optional<unsigned> n) const;
    // "^SBASC<n>" for 0, 1 and 3.
    bool ChangeConfigType(unsigned configType);

    // The slot an on-air subscription would fill: the requested one if it
    // exists, else the first slot not in use; nullopt when there is none.
    std::optional<unsigned> OnAirSlot(std::optional<unsigned> requested) const;
    // Puts the partner into the slot and makes it the current subscription.
    void RegisterPartner(unsigned slot, const Identity& partner);

    const ModuleState& State() const { return state_; }
    const Profile& Current() const { return current_; }
    // True once after each change of the lasting state.
    bool TakeChanged() { return std::exchange(changed_, false); }

private:
    Slot& Selected() { return state_.slots[selector_]; }
    const Slot& Selected() const { return state_.slots[selector_]; }

    ModuleState state_;
    Profile current_;
    unsigned selector_ = 0;
    bool changed_ = false;
    Identity identity_;
    std::array<std::string, 4> infoTexts_;
};

}  // namespace morvik::sim
