// The simulator's command reader and command line parser on any bytes.
//
// Input: the line termination and editing characters (S3, S5), then the
// bytes received in command mode. Every line the reader completes begins
// with "AT" in either case and stays within the length limit; each, and the
// received bytes taken whole as one line, goes through the parser, which
// never takes a number of more than six digits.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "sim/command_parser.h"
#include "sim/command_reader.h"

namespace {

using morvik::fuzz::Require;

void Parse(std::string_view line) {
    const auto commands = morvik::sim::ParseCommandLine(line);
    if (!commands) return;
    for (const morvik::sim::Command& command : *commands) {
        Require(command.number.value_or(0) <= 999999 && command.value <= 999999,
                "a command's numbers have at most six digits");
    }
}

bool StartsWithAt(std::string_view text) {
    return text.size() >= 2 && (text[0] == 'A' || text[0] == 'a') && (text[1] == 'T' || text[1] == 't');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input = morvik::fuzz::AsText(data, size);
    if (input.size() < 2) return 0;
    const char terminator = input[0];
    const char backspace = input[1];
    input.remove_prefix(2);

    morvik::sim::CommandReader reader;
    for (const char byte : input) {
        const std::optional<morvik::sim::ReceivedLine> line = reader.Take(byte, terminator, backspace);
        if (!line) continue;
        Require(StartsWithAt(line->text), "a command line begins with AT");
        Require(line->text.size() <= morvik::sim::CommandReader::kMaxLineLength, "a command line keeps its limit");
        Parse(line->text);
    }
    Parse(input);
    return 0;
}
