#include "comm/packet_buffer.h"

#include <algorithm>
#include <cstring>

namespace morvik::comm {

void PacketBuffer::Append(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0) return;
    const std::size_t live = size();
    if (storage_.size() + count > storage_.capacity()) {
        if (head_ > 0) {  // reclaim the consumed front before growing
            std::memmove(storage_.data(), storage_.data() + head_, live);
            storage_.resize(live);
            head_ = 0;
        }
        const std::size_t needed = live + count;
        if (needed > storage_.capacity()) {
            // Double, in whole steps, so a long packet costs few reallocations.
            std::size_t target = std::max(storage_.capacity() * 2, needed);
            target = (target + kGrowthStep - 1) / kGrowthStep * kGrowthStep;
            storage_.reserve(target);
        }
    }
    storage_.insert(storage_.end(), bytes, bytes + count);
}

void PacketBuffer::Clear() {
    head_ = 0;
    storage_.clear();
    // A buffer that once held a huge packet gives its memory back when it empties.
    if (storage_.capacity() > kGrowthStep) std::vector<std::uint8_t>().swap(storage_);
}

}  // namespace morvik::comm
