#include "sim/baud_rate.h"

#include <array>
#include <utility>

namespace morvik::sim {

namespace {

constexpr std::array<std::pair<unsigned, std::uint32_t>, 6> kRates{{
    {5, 4800}, {6, 9600}, {7, 19200}, {8, 38400}, {9, 57600}, {10, 115200},
}};

}  // namespace

std::optional<std::uint32_t> BaudOfRateCode(unsigned code) {
    for (const auto& [rateCode, baud] : kRates) {
        if (rateCode == code) return baud;
    }
    return std::nullopt;
}

std::optional<unsigned> RateCodeOfBaud(std::uint32_t baud) {
    for (const auto& [rateCode, rate] : kRates) {
        if (rate == baud) return rateCode;
    }
    return std::nullopt;
}

}  // namespace morvik::sim
