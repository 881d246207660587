#pragma once
// What the fuzz programs share: a property that must hold ends the run with
// a message (libFuzzer keeps the input), and a received stream is cut into
// reads whose sizes follow from a seed byte of the input.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string_view>

namespace morvik::fuzz {

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

inline void Require(bool holds, const char* what) {
    if (!holds) Fail(what);
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Reads of 1 to 32 bytes, or the whole stream at once for seed 0; the same
// seed always gives the same cuts.
class ReadCutter {
public:
    explicit ReadCutter(std::uint8_t seed) : whole_(seed == 0), random_(seed) {}

    // The size of the next read out of the bytes left.
    std::size_t Next(std::size_t left) {
        if (whole_) return left;
        const std::size_t size = 1 + random_() % 32;
        return size < left ? size : left;
    }
    // A further number from the same sequence, for decisions between reads.
    unsigned Draw() { return static_cast<unsigned>(random_()); }

private:
    bool whole_;
    std::minstd_rand random_;
};

}  // namespace morvik::fuzz
