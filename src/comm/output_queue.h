#pragma once
// The serial dispatcher's output queue: OutSize bytes written by the port and
// sent by the output thread. Positions are running byte counts reduced modulo
// the capacity only to index the block. Not locked: the dispatcher's output
// lock guards it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace morvik::comm {

class OutputQueue {
public:
    // Sets the capacity and empties the queue.
    void Resize(std::size_t capacity) {
        bytes_.assign(capacity, 0);
        Clear();
    }
    std::size_t Pending() const { return static_cast<std::size_t>(written_ - sent_); }
    std::size_t Free() const { return bytes_.size() - Pending(); }

    // Copies what fits; returns how much that was.
    std::size_t Put(const std::uint8_t* data, std::size_t count) {
        count = std::min(count, Free());
        for (std::size_t done = 0; done < count;) {
            const std::size_t at = Index(written_);
            const std::size_t part = std::min(count - done, bytes_.size() - at);
            std::copy_n(data + done, part, bytes_.data() + at);
            written_ += part;
            done += part;
        }
        return count;
    }
    // The pending bytes from the send position on, up to the end of the block.
    std::span<const std::uint8_t> NextChunk() const {
        if (Pending() == 0) return {};
        const std::size_t at = Index(sent_);
        return {bytes_.data() + at, std::min(Pending(), bytes_.size() - at)};
    }
    void MarkSent(std::size_t count) { sent_ += std::min(count, Pending()); }
    void Clear() { written_ = sent_ = 0; }

private:
    std::size_t Index(std::uint64_t position) const { return static_cast<std::size_t>(position % bytes_.size()); }

    std::vector<std::uint8_t> bytes_;
    std::uint64_t written_ = 0;
    std::uint64_t sent_ = 0;
};

}  // namespace morvik::comm
