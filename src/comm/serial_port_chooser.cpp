#include "comm/serial_port_chooser.h"

#include <charconv>

#include "platform/serial_device_report.h"

namespace morvik::comm {

std::string DeviceDescription(const std::string& path, const std::string& byIdFolder) {
    std::string text = path;
    for (const std::string& name : platform::SerialByIdNames(path, byIdFolder)) text += ", " + name;
    return text;
}

std::string PortChoiceText(const platform::PresentPort& port, const std::string& byIdFolder) {
    return "COM" + std::to_string(port.number) + " (" + DeviceDescription(port.path, byIdFolder) + ")";
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
