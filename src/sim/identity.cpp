#include "sim/identity.h"

#include "sim/text_util.h"

namespace morvik::sim {

std::string Identity::Dotted() const {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += '.';
        text += std::to_string(bytes[i]);
    }
    return text;
}

std::optional<Identity> ParseIdentity(std::string_view text) {
    text = Trim(text);
    Identity identity;
    std::size_t index = 0;
    while (true) {
        const std::size_t dot = text.find('.');
        const auto value = ParseUnsigned(text.substr(0, dot), 255);
        if (!value || index >= identity.bytes.size()) return std::nullopt;
        identity.bytes[index++] = static_cast<std::uint8_t>(*value);
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    if (index != identity.bytes.size()) return std::nullopt;
    return identity;
}

}  // namespace morvik::sim
