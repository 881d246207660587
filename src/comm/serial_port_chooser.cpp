#include "comm/serial_port_chooser.h"

#include <charconv>

namespace morvik::comm {

std::string PortChoiceText(const platform::PresentPort& port) {
    return "COM" + std::to_string(port.number) + " (" + port.path + ")";
}

std::optional<int> PortNumberFromChoice(std::string_view entry) {
    constexpr std::string_view kPrefix = "COM";
    if (!entry.starts_with(kPrefix)) return std::nullopt;
    entry.remove_prefix(kPrefix.size());
    int number = 0;
    const auto [end, error] = std::from_chars(entry.data(), entry.data() + entry.size(), number);
    if (error != std::errc() || end == entry.data() || number <= 0) return std::nullopt;
    return number;
}

}  // namespace morvik::comm
