#pragma once
// A fixed-size byte ring with a read and a write position and a full flag
// (equal positions mean empty unless the flag is set). A TCP connection keeps
// its received bytes in one and its bytes waiting to be sent in another; the
// socket reads into and sends from the ring's contiguous parts directly.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace morvik::comm {

class WsRing {
public:
    explicit WsRing(std::size_t size);

    std::size_t Size() const { return bytes_.size(); }
    std::size_t Count() const;
    std::size_t Free() const { return Size() - Count(); }
    bool Empty() const { return Count() == 0; }
    bool Full() const { return full_; }

    // Copies as much of data as fits; returns the bytes taken.
    std::size_t Put(std::span<const std::uint8_t> data);
    // Moves up to destination.size() bytes out; returns the bytes moved.
    std::size_t Take(std::span<std::uint8_t> destination);

    // The free bytes from the write position up to the end of the storage or
    // the read position, whichever comes first; Commit(n) then adds n bytes.
    std::span<std::uint8_t> FreeRun();
    void Commit(std::size_t count);
    // The stored bytes from the read position up to the end of the storage or
    // the write position; Consume(n) then drops n of them.
    std::span<const std::uint8_t> FilledRun() const;
    void Consume(std::size_t count);

    void Clear();

private:
    std::size_t Advance(std::size_t position, std::size_t count) const;

    std::vector<std::uint8_t> bytes_;
    std::size_t readPosition_ = 0;
    std::size_t writePosition_ = 0;
    bool full_ = false;
};

}  // namespace morvik::comm
