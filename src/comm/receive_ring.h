#pragma once
// The dispatcher's receive ring: a fixed block of 8192 bytes that is never
// reallocated. Positions are kept as running byte counts (bytes ever written,
// bytes ever consumed) and reduced modulo the size only to index the block, so
// "empty" and "full" never look alike and a position that went once round the
// ring never equals its old value. Not locked: the dispatcher's receive lock guards it.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace morvik::comm {

class ReceiveRing {
public:
    static constexpr std::size_t kSize = 8192;
    using Mark = std::uint64_t;  // a running position: bytes written or consumed since creation

    std::size_t Unread() const { return static_cast<std::size_t>(written_ - read_); }
    std::size_t Free() const { return kSize - Unread(); }
    bool Full() const { return Unread() == kSize; }
    Mark WriteMark() const { return written_; }
    Mark ReadMark() const { return read_; }

    // The free space that follows the write position without wrapping: up to
    // the end of the block, or up to the read position once wrapped.
    std::span<std::uint8_t> FreeSpan() {
        const std::size_t at = Index(written_);
        return {bytes_.data() + at, std::min(Free(), kSize - at)};
    }
    // Counts n bytes just stored into FreeSpan() as written.
    void Commit(std::size_t n) { written_ += n; }

    std::uint8_t At(Mark mark) const { return bytes_[Index(mark)]; }
    // Copies n bytes starting at mark (which must lie between the read and write marks).
    void CopyOut(Mark mark, std::uint8_t* destination, std::size_t n) const {
        const std::size_t at = Index(mark);
        const std::size_t first = std::min(n, kSize - at);
        std::copy_n(bytes_.data() + at, first, destination);
        std::copy_n(bytes_.data(), n - first, destination + first);
    }
    void Consume(std::size_t n) { read_ += std::min(n, Unread()); }
    void ConsumeTo(Mark mark) { read_ = std::clamp(mark, read_, written_); }

private:
    static std::size_t Index(Mark mark) { return static_cast<std::size_t>(mark % kSize); }

    std::array<std::uint8_t, kSize> bytes_{};
    Mark written_ = 0;
    Mark read_ = 0;
};

}  // namespace morvik::comm
