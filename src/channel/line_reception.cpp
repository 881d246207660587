#include "channel/line_reception.h"

#include <algorithm>

namespace morvik::channel {

std::optional<std::string> DispatchableLine(const std::string& delivered, const std::string& echoText) {
    if (delivered.empty()) return std::nullopt;
    std::string line = delivered;
    // A CR LF at the very start (positions 1 or 2) stays, and the control
    // characters then keep the line from dispatch.
    const std::size_t crlf = line.find("\r\n");
    if (crlf != std::string::npos && crlf >= 2) line.erase(0, crlf + 2);
    // Nothing left after the cut is as empty as an empty delivery.
    if (line.empty()) return std::nullopt;
    if (!echoText.empty() && line.find(echoText) != std::string::npos) return std::nullopt;
    const bool hasControl =
        std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    if (hasControl) return std::nullopt;
    return line;
}

}  // namespace morvik::channel
