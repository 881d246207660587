#pragma once
// A set of the values of a small enumeration (at most 32 values), as the
// component properties use them: flow options, packet end conditions.

#include <initializer_list>

namespace morvik::comm {

template <typename Enum>
class EnumSet {
public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<Enum> values) {
        for (Enum value : values) bits_ |= Bit(value);
    }
    constexpr bool Contains(Enum value) const { return (bits_ & Bit(value)) != 0; }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr void Include(Enum value) { bits_ |= Bit(value); }
    constexpr void Exclude(Enum value) { bits_ &= ~Bit(value); }
    constexpr bool operator==(const EnumSet&) const = default;

private:
    static constexpr unsigned Bit(Enum value) { return 1u << static_cast<unsigned>(value); }
    unsigned bits_ = 0;
};

}  // namespace morvik::comm
