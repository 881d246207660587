#include "comm/byte_ring.h"

#include <algorithm>

namespace morvik::comm {

ByteRing::ByteRing(std::size_t capacity) : bytes_(capacity) {}

void ByteRing::Resize(std::size_t capacity) {
    bytes_.assign(capacity, 0);
    Clear();
}

std::size_t ByteRing::Put(std::span<const std::uint8_t> data) {
    std::size_t taken = 0;
    // At most two runs: up to the end of the block, then from its start.
    while (taken < data.size()) {
        const std::span<std::uint8_t> run = FreeRun();
        if (run.empty()) break;
        const std::size_t part = std::min(run.size(), data.size() - taken);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(taken), part, run.begin());
        Commit(part);
        taken += part;
    }
    return taken;
}

std::size_t ByteRing::Take(std::span<std::uint8_t> destination) {
    const std::size_t moved = std::min(destination.size(), Count());
    CopyOut(read_, destination.first(moved));
    Consume(moved);
    return moved;
}

std::span<std::uint8_t> ByteRing::FreeRun() {
    if (Full()) return {};  // also a ring of no capacity
    const std::size_t at = Index(written_);
    return std::span<std::uint8_t>(bytes_).subspan(at, std::min(Free(), Capacity() - at));
}

void ByteRing::Commit(std::size_t count) { written_ += std::min(count, Free()); }

std::span<const std::uint8_t> ByteRing::FilledRun() const {
    if (Empty()) return {};
    const std::size_t at = Index(read_);
    return std::span<const std::uint8_t>(bytes_).subspan(at, std::min(Count(), Capacity() - at));
}

void ByteRing::Consume(std::size_t count) { read_ += std::min(count, Count()); }

void ByteRing::CopyOut(Mark mark, std::span<std::uint8_t> destination) const {
    if (destination.empty()) return;
    const std::size_t at = Index(mark);
    const std::size_t first = std::min(destination.size(), Capacity() - at);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at), first, destination.begin());
    std::copy_n(bytes_.begin(), destination.size() - first, destination.begin() + static_cast<std::ptrdiff_t>(first));
}

void ByteRing::ConsumeTo(Mark mark) { read_ = std::clamp(mark, read_, written_); }

}  // namespace morvik::comm
