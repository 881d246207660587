// Throughput of the line matcher (the program's line packet on a packet
// manager fed with device-sized reads) beside a plain memchr-based CR LF
// splitter over the same bytes. Both hand every line to a handler as a string.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "comm/data_packet.h"
#include "comm/data_packet_manager.h"
#include "module_lines.h"

namespace {

using morvik::comm::TCmDataPacket;
using morvik::comm::TCmDataPacketManager;

constexpr std::size_t kReadSize = 8192;  // what one read of the receive ring can bring
constexpr std::size_t kStreamBytes = 16 << 20;
constexpr int kRounds = 8;

struct Tally {
    std::size_t lines = 0;
    std::size_t bytes = 0;
};

// The baseline: find CR with memchr, check the LF, keep a partial line across reads.
class PlainSplitter {
public:
    explicit PlainSplitter(std::function<void(const std::string&)> onLine) : onLine_(std::move(onLine)) {}

    void Feed(const char* data, std::size_t size) {
        const char* end = data + size;
        while (data < end) {
            if (pendingCr_) {
                pendingCr_ = false;
                if (*data == '\n') {
                    partial_.pop_back();
                    onLine_(partial_);
                    partial_.clear();
                    ++data;
                    continue;
                }
            }
            const char* cr = static_cast<const char*>(std::memchr(data, '\r', static_cast<std::size_t>(end - data)));
            if (cr == nullptr) {
                partial_.append(data, end);
                return;
            }
            if (cr + 1 < end && cr[1] == '\n') {
                if (partial_.empty()) {
                    onLine_(std::string(data, cr));
                } else {
                    partial_.append(data, cr);
                    onLine_(partial_);
                    partial_.clear();
                }
                data = cr + 2;
            } else {
                partial_.append(data, cr + 1);
                pendingCr_ = cr + 1 == end;
                data = cr + 1;
            }
        }
    }

private:
    std::function<void(const std::string&)> onLine_;
    std::string partial_;
    bool pendingCr_ = false;
};

// The best of several timed rounds over the whole stream: the least disturbed by other work.
template <typename FeedFn>
double MegabytesPerSecond(const std::string& stream, FeedFn feed) {
    double best = 0;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t at = 0; at < stream.size(); at += kReadSize)
            feed(stream.data() + at, std::min(kReadSize, stream.size() - at));
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        best = std::max(best, static_cast<double>(stream.size()) / seconds.count() / 1e6);
    }
    return best;
}

}  // namespace

int main() {
    const std::string stream = morvik::bench::MakeModuleLines(kStreamBytes);

    Tally plain;
    PlainSplitter splitter([&plain](const std::string& line) {
        ++plain.lines;
        plain.bytes += line.size();
    });
    const double plainRate =
        MegabytesPerSecond(stream, [&](const char* data, std::size_t size) { splitter.Feed(data, size); });

    Tally matched;
    TCmDataPacketManager manager;
    TCmDataPacket line;
    morvik::comm::ConfigureLinePacket(line);
    line.OnStringPacket = [&matched](TCmDataPacket&, const std::string& text) {
        ++matched.lines;
        matched.bytes += text.size();
    };
    manager.Attach(line);
    line.SetEnabled(true);
    manager.Activate(nullptr);
    const double matcherRate = MegabytesPerSecond(stream, [&](const char* data, std::size_t size) {
        manager.ReceiveBytes(reinterpret_cast<const std::uint8_t*>(data), size);
    });

    if (plain.lines != matched.lines || plain.bytes != matched.bytes) {
        std::printf("MISMATCH: splitter %zu lines / %zu bytes, matcher %zu lines / %zu bytes\n", plain.lines,
                    plain.bytes, matched.lines, matched.bytes);
        return 1;
    }
    std::printf("stream: %zu MB of module lines (5 to 40 bytes each), reads of %zu bytes, best of %d rounds\n",
                stream.size() >> 20, kReadSize, kRounds);
    std::printf("plain memchr CR LF splitter: %8.1f MB/s\n", plainRate);
    std::printf("line matcher:                %8.1f MB/s  (%.2f of the splitter's speed)\n", matcherRate,
                matcherRate / plainRate);
    std::printf("lines per round: %zu\n", plain.lines / kRounds);
    return 0;
}
