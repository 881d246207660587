#pragma once
// A stream of lines as a module sends them: 5 to 40 bytes each with CR LF,
// answers and identity texts padded with letters. The same every run.

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace morvik::bench {

inline std::string MakeModuleLines(std::size_t bytes) {
    const std::vector<std::string> samples = {"OK", "ERROR", "003", "RX57 DECT Data Module V2.10", "WAIT",
                                              "Replacement FP", "S190=005 S191=012", "0.0.0.0.0",
                                              "Profile 1, Server FP", "255"};
    std::mt19937 random(57);
    std::string stream;
    stream.reserve(bytes + 64);
    while (stream.size() < bytes) {
        std::string line = samples[random() % samples.size()];
        const std::size_t length = 3 + random() % 36;  // 5..40 bytes with the CR LF
        while (line.size() < length) line += static_cast<char>('A' + random() % 26);
        line.resize(length);
        stream += line;
        stream += "\r\n";
    }
    return stream;
}

}  // namespace morvik::bench
