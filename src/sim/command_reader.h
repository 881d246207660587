#pragma once
// Assembles command lines from the bytes a module receives in command mode,
// as a Hayes-style module does: everything before an "AT" prefix is ignored,
// the editing character removes the last character, and the line ends with
// the line termination character (S3).

#include <optional>
#include <string>

namespace morvik::sim {

struct ReceivedLine {
    std::string text;      // "AT" and what followed it, as received (case kept)
    bool tooLong = false;  // the line overflowed and was cut; it is to be refused
};

class CommandReader {
public:
    static constexpr std::size_t kMaxLineLength = 128;

    // Takes one byte; returns the line it completed, if any.
    std::optional<ReceivedLine> Take(char byte, char terminator, char backspace);
    // Forgets a half-received line (after a restart).
    void Clear();

private:
    enum class Phase { kSeekA, kSeekT, kInLine };
    Phase phase_ = Phase::kSeekA;
    ReceivedLine line_;
};

}  // namespace morvik::sim
