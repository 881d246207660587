#pragma once
// A start or end string of a data packet, prepared for byte-by-byte matching:
// a backslash makes the next character literal, a question mark matches any
// byte, and with case folding both sides compare upper-cased (ASCII letters).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvik::comm {

class MatchString {
public:
    MatchString() = default;
    MatchString(std::string_view pattern, bool ignoreCase);

    std::size_t size() const { return chars_.size(); }
    bool empty() const { return chars_.empty(); }
    bool IgnoresCase() const { return ignoreCase_; }

    // Does byte match the prepared character at index?
    bool Matches(std::size_t index, std::uint8_t byte) const {
        if (wildcard_[index] != 0) return true;
        return static_cast<std::uint8_t>(chars_[index]) == (ignoreCase_ ? Fold(byte) : byte);
    }

    // Do the bytes data[0..count) match the first count prepared characters?
    bool MatchesPrefix(const std::uint8_t* data, std::size_t count) const {
        for (std::size_t i = 0; i < count; ++i) {
            if (!Matches(i, data[i])) return false;
        }
        return true;
    }

    // The one byte a match must begin with, when that byte is unique (no
    // wildcard, no second case): lets a scan jump with memchr.
    bool HasLiteralFirstByte() const { return literalFirst_; }
    std::uint8_t FirstByte() const { return static_cast<std::uint8_t>(chars_[0]); }

    static std::uint8_t Fold(std::uint8_t byte) {
        return (byte >= 'a' && byte <= 'z') ? static_cast<std::uint8_t>(byte - ('a' - 'A')) : byte;
    }

private:
    std::string chars_;
    std::string wildcard_;  // one flag byte per prepared character
    bool ignoreCase_ = false;
    bool literalFirst_ = false;
};

}  // namespace morvik::comm
