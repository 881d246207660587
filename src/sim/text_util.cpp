#include "sim/text_util.h"

#include <cctype>
#include <cstdint>

namespace morvik::sim {

std::string_view Trim(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string ToUpper(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

std::string ToLower(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::optional<unsigned> ParseUnsigned(std::string_view text, unsigned max) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;  // wide enough that one more digit never overflows
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > max) return std::nullopt;
    }
    return static_cast<unsigned>(value);
}

std::optional<bool> ParseYesNo(std::string_view text) {
    const std::string word = ToLower(Trim(text));
    if (word == "yes" || word == "true" || word == "on" || word == "1") return true;
    if (word == "no" || word == "false" || word == "off" || word == "0") return false;
    return std::nullopt;
}

std::string ShowControlCharacters(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            shown += c;
        } else {
            shown += '{';
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0x0F];
            shown += '}';
        }
    }
    return shown;
}

bool HasControlCharacters(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return true;
    }
    return false;
}

}  // namespace morvik::sim
