#include "comm/ws_ring.h"

#include <algorithm>
#include <cstring>

namespace morvik::comm {

WsRing::WsRing(std::size_t size) : bytes_(size) {}

std::size_t WsRing::Count() const {
    if (full_) return Size();
    if (writePosition_ >= readPosition_) return writePosition_ - readPosition_;
    return Size() - readPosition_ + writePosition_;
}

std::size_t WsRing::Advance(std::size_t position, std::size_t count) const {
    position += count;
    return position >= Size() ? position - Size() : position;
}

std::span<std::uint8_t> WsRing::FreeRun() {
    if (full_ || Size() == 0) return {};
    const std::size_t end = writePosition_ >= readPosition_ ? Size() : readPosition_;
    return std::span<std::uint8_t>(bytes_).subspan(writePosition_, end - writePosition_);
}

void WsRing::Commit(std::size_t count) {
    if (count == 0) return;
    writePosition_ = Advance(writePosition_, count);
    full_ = writePosition_ == readPosition_;
}

std::span<const std::uint8_t> WsRing::FilledRun() const {
    if (Empty()) return {};
    const std::size_t end = writePosition_ > readPosition_ ? writePosition_ : Size();
    return std::span<const std::uint8_t>(bytes_).subspan(readPosition_, end - readPosition_);
}

void WsRing::Consume(std::size_t count) {
    if (count == 0) return;
    readPosition_ = Advance(readPosition_, count);
    full_ = false;
}

std::size_t WsRing::Put(std::span<const std::uint8_t> data) {
    std::size_t taken = 0;
    while (taken < data.size()) {
        const std::span<std::uint8_t> run = FreeRun();
        if (run.empty()) break;
        const std::size_t part = std::min(run.size(), data.size() - taken);
        std::memcpy(run.data(), data.data() + taken, part);
        Commit(part);
        taken += part;
    }
    return taken;
}

std::size_t WsRing::Take(std::span<std::uint8_t> destination) {
    std::size_t moved = 0;
    while (moved < destination.size()) {
        const std::span<const std::uint8_t> run = FilledRun();
        if (run.empty()) break;
        const std::size_t part = std::min(run.size(), destination.size() - moved);
        std::memcpy(destination.data() + moved, run.data(), part);
        Consume(part);
        moved += part;
    }
    return moved;
}

void WsRing::Clear() {
    readPosition_ = 0;
    writePosition_ = 0;
    full_ = false;
}

}  // namespace morvik::comm
