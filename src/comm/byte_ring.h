#pragma once
// A byte ring of a fixed capacity: the dispatcher's receive ring, the serial
// output queue and a TCP connection's input and output rings. Positions are
// running byte counts (bytes ever written, bytes ever read) reduced modulo the
// capacity only to index the block, so "empty" and "full" never look alike
// and a position that went once round the ring never equals its old value.
// The block is allocated by the constructor and by Resize only. Not locked:
// each owner guards its ring itself.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace morvik::comm {

class ByteRing {
public:
    using Mark = std::uint64_t;  // a running position: bytes written or read since creation

    explicit ByteRing(std::size_t capacity = 0);
    // Allocates a new block of capacity bytes and empties the ring.
    void Resize(std::size_t capacity);

    std::size_t Capacity() const { return bytes_.size(); }
    std::size_t Count() const { return static_cast<std::size_t>(written_ - read_); }
    std::size_t Free() const { return Capacity() - Count(); }
    bool Empty() const { return written_ == read_; }
    bool Full() const { return Count() == Capacity(); }
    Mark WriteMark() const { return written_; }
    Mark ReadMark() const { return read_; }

    // Copies as much of data as fits; returns the bytes taken.
    std::size_t Put(std::span<const std::uint8_t> data);
    // Moves up to destination.size() bytes out; returns the bytes moved.
    std::size_t Take(std::span<std::uint8_t> destination);

    // The free bytes that follow the write position without wrapping: up to
    // the end of the block, or up to the read position once wrapped.
    // Commit(n) then counts n of them as written.
    std::span<std::uint8_t> FreeRun();
    void Commit(std::size_t count);
    // The stored bytes from the read position up to the end of the block or
    // the write position; Consume(n) then drops n of them.
    std::span<const std::uint8_t> FilledRun() const;
    void Consume(std::size_t count);

    // Reading at a position of its own between the read and write marks, for
    // readers that share one read position and advance it together later.
    std::uint8_t At(Mark mark) const { return bytes_[Index(mark)]; }
    // Copies destination.size() bytes starting at mark; they must all be stored.
    void CopyOut(Mark mark, std::span<std::uint8_t> destination) const;
    // Drops everything before mark (held between the read and write marks).
    void ConsumeTo(Mark mark);

    // Drops everything stored; the running positions keep counting.
    void Clear() { read_ = written_; }

private:
    std::size_t Index(Mark mark) const { return static_cast<std::size_t>(mark % bytes_.size()); }

    std::vector<std::uint8_t> bytes_;
    Mark written_ = 0;
    Mark read_ = 0;
};

}  // namespace morvik::comm
