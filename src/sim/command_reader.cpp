#include "sim/command_reader.h"

#include <utility>

namespace morvik::sim {

std::optional<ReceivedLine> CommandReader::Take(char byte, char terminator, char backspace) {
    switch (phase_) {
        case Phase::kSeekA:
            if (byte == 'A' || byte == 'a') {
                line_ = ReceivedLine{std::string(1, byte)};
                phase_ = Phase::kSeekT;
            }
            return std::nullopt;
        case Phase::kSeekT:
            if (byte == 'T' || byte == 't') {
                line_.text += byte;
                phase_ = Phase::kInLine;
            } else if (byte == 'A' || byte == 'a') {
                line_ = ReceivedLine{std::string(1, byte)};  // "AAT" still starts a line
            } else {
                phase_ = Phase::kSeekA;
            }
            return std::nullopt;
        case Phase::kInLine:
            break;
    }
    if (byte == terminator) {
        phase_ = Phase::kSeekA;
        return std::exchange(line_, ReceivedLine{});
    }
    if (byte == backspace) {
        if (line_.text.size() > 2) line_.text.pop_back();
        return std::nullopt;
    }
    const auto code = static_cast<unsigned char>(byte);
    if (code < 0x20 || code >= 0x7F) return std::nullopt;  // line noise is not part of a command
    if (line_.text.size() >= kMaxLineLength) {
        line_.tooLong = true;
    } else {
        line_.text += byte;
    }
    return std::nullopt;
}

void CommandReader::Clear() {
    phase_ = Phase::kSeekA;
    line_ = ReceivedLine{};
}

}  // namespace morvik::sim
