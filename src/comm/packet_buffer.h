#pragma once
// The receive buffer of a packet manager: bytes appended at the back, removed
// from the front. Removing from the front only moves a start offset, so
// delivering many short packets from one read does not shift the rest of the
// buffer once per packet; the bytes are moved down when room is needed.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvik::comm {

class PacketBuffer {
public:
    // Capacity grows in whole steps of this size.
    static constexpr std::size_t kGrowthStep = 8192;

    std::size_t size() const { return storage_.size() - head_; }
    bool empty() const { return size() == 0; }
    const std::uint8_t* data() const { return storage_.data() + head_; }
    std::uint8_t operator[](std::size_t index) const { return storage_[head_ + index]; }

    void Append(const std::uint8_t* bytes, std::size_t count);
    // Drops the first count bytes (all of them when count exceeds the size).
    void RemoveFront(std::size_t count) {
        if (count >= size())
            Clear();
        else
            head_ += count;
    }
    void Clear();

    std::size_t Capacity() const { return storage_.capacity(); }

private:
    std::vector<std::uint8_t> storage_;
    std::size_t head_ = 0;  // index in storage_ of the first live byte
};

}  // namespace morvik::comm
