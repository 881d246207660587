#pragma once
// A 5-byte DECT identity (the module's own or a partner's) and its dotted
// text form "a.b.c.d.e".

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvik::sim {

struct Identity {
    std::array<std::uint8_t, 5> bytes{};

    bool operator==(const Identity&) const = default;
    // Five decimal byte values joined by "."; "0.0.0.0.0" for the empty identity.
    std::string Dotted() const;
};

// Accepts exactly five decimal groups of 0..255 separated by "."; blanks around
// the text are allowed. Anything else gives nullopt.
std::optional<Identity> ParseIdentity(std::string_view text);

}  // namespace morvik::sim
