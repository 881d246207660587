#pragma once
// The module's serial rate codes (the number after "\R") and the rates they stand for.

#include <cstdint>
#include <optional>

namespace morvik::sim {

inline constexpr unsigned kRate19200Code = 7;

// nullopt for a code the module does not know.
std::optional<std::uint32_t> BaudOfRateCode(unsigned code);
std::optional<unsigned> RateCodeOfBaud(std::uint32_t baud);

}  // namespace morvik::sim
