// The data packet matcher fed with a received stream cut into reads.
//
// Input: one byte seeds the cuts, one byte of flags. Without kConfigured the
// rest is the stream for the program's line packet, which must deliver
// exactly the lines of a plain CR LF split and hold back the unfinished
// rest. With it, four more bytes (more flags, the packet size, the lengths of
// the start and end strings) and the two strings configure a packet, and
// the rest is the stream: every delivery must be a piece of the stream, in
// order, and as long as no time-out fires, cutting the stream into reads
// must not change what is delivered. (How many bytes stay pending may
// differ: a packet still looking for its start string keeps what came
// before a partial match that a read cut off.)

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comm/data_packet.h"
#include "comm/data_packet_manager.h"
#include "comm/exceptions.h"
#include "fuzz_support.h"

namespace {

using morvik::comm::TCmDataPacket;
using morvik::comm::TCmDataPacketManager;
using morvik::fuzz::ReadCutter;
using morvik::fuzz::Require;

enum Flag : unsigned {
    kConfigured = 1u << 0,
    kAnyDataStart = 1u << 1,
    kEndByString = 1u << 2,
    kEndBySize = 1u << 3,
    kIgnoreCase = 1u << 4,
    kIncludeStrings = 1u << 5,
    kDectMode = 1u << 6,
    kTimeouts = 1u << 7,
    kDectInit = 1u << 8,
    kRestartAfterTimeout = 1u << 9,
};

struct Setup {
    std::uint8_t cutSeed = 0;
    unsigned flags = 0;
    int packetSize = 0;
    std::string start;
    std::string end;
    std::string_view stream;
};

std::optional<Setup> ReadSetup(std::string_view input) {
    if (input.size() < 2) return std::nullopt;
    Setup setup;
    setup.cutSeed = static_cast<std::uint8_t>(input[0]);
    setup.flags = static_cast<std::uint8_t>(input[1]);
    input.remove_prefix(2);
    if ((setup.flags & kConfigured) == 0) {
        setup.flags = 0;  // the line packet as the program sets it up, without time-outs
        setup.stream = input;
        return setup;
    }
    if (input.size() < 4) return std::nullopt;
    setup.flags |= static_cast<unsigned>(static_cast<std::uint8_t>(input[0])) << 8;
    setup.packetSize = static_cast<std::uint8_t>(input[1]);
    const std::size_t startLength = static_cast<std::uint8_t>(input[2]) % 8;
    const std::size_t endLength = static_cast<std::uint8_t>(input[3]) % 8;
    input.remove_prefix(4);
    if (input.size() < startLength + endLength) return std::nullopt;
    setup.start = input.substr(0, startLength);
    setup.end = input.substr(startLength, endLength);
    setup.stream = input.substr(startLength + endLength);
    return setup;
}

// Lets the fuzz program fire the time-out between reads.
class ManualTimeout final : public TCmDataPacketManager::Host {
public:
    void ArmTimeout(int ticks) override { armed = ticks > 0; }
    void Notify(const std::function<void()>& notification) override { notification(); }
    bool CrossesThreads() const override { return false; }

    bool armed = false;
};

void Configure(TCmDataPacket& packet, const Setup& setup) {
    if ((setup.flags & kConfigured) == 0) {
        morvik::comm::ConfigureLinePacket(packet);
        return;
    }
    const auto on = [&setup](unsigned flag) { return (setup.flags & flag) != 0; };
    packet.SetStartCond(on(kAnyDataStart) ? morvik::comm::scAnyData : morvik::comm::scString);
    morvik::comm::TPacketEndConds ends;
    if (on(kEndByString)) ends.Include(morvik::comm::ecString);
    if (on(kEndBySize)) ends.Include(morvik::comm::ecPacketSize);
    packet.SetEndCond(ends);
    packet.SetStartString(setup.start);
    packet.SetEndString(setup.end);
    packet.SetIgnoreCase(on(kIgnoreCase));
    packet.SetIncludeStrings(on(kIncludeStrings));
    packet.SetPacketSize(setup.packetSize);
    packet.SetDectMode(on(kDectMode));
    packet.SetDectInit(on(kDectInit));
    packet.SetRestartAfterTimeout(on(kRestartAfterTimeout));
}

struct Outcome {
    std::vector<std::string> delivered;
    std::size_t pending = 0;
};

// What the packet delivers from the stream in reads cut by cutter; nullopt
// when the configuration cannot work.
std::optional<Outcome> Run(const Setup& setup, ReadCutter cutter) {
    Outcome outcome;
    ManualTimeout timeout;  // outlives the manager, which stops its time-out when the packet leaves
    TCmDataPacketManager manager;
    TCmDataPacket packet;
    Configure(packet, setup);
    packet.OnStringPacket = [&outcome](TCmDataPacket&, const std::string& text) {
        outcome.delivered.push_back(text);
    };
    manager.Attach(packet);
    try {
        packet.SetEnabled(true);
        manager.Activate(&timeout);
    } catch (const morvik::comm::EPacketError&) {
        return std::nullopt;
    }
    const bool fireTimeouts = (setup.flags & kTimeouts) != 0;
    for (std::size_t at = 0; at < setup.stream.size();) {
        const std::size_t size = cutter.Next(setup.stream.size() - at);
        manager.ReceiveBytes(reinterpret_cast<const std::uint8_t*>(setup.stream.data() + at), size);
        at += size;
        if (fireTimeouts && timeout.armed && cutter.Draw() % 4 == 0) manager.TimeoutExpired();
    }
    outcome.pending = manager.PendingBytes();
    return outcome;
}

// The lines of a plain split at each CR LF, and the bytes after the last one.
Outcome SplitAtCrLf(std::string_view stream) {
    Outcome outcome;
    for (std::size_t end; (end = stream.find("\r\n")) != std::string_view::npos; stream.remove_prefix(end + 2)) {
        outcome.delivered.emplace_back(stream.substr(0, end));
    }
    outcome.pending = stream.size();
    return outcome;
}

bool PiecesInOrder(const std::vector<std::string>& pieces, std::string_view stream) {
    std::size_t from = 0;
    for (const std::string& piece : pieces) {
        const std::size_t at = stream.find(piece, from);
        if (at == std::string_view::npos) return false;
        from = at + piece.size();
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<Setup> setup = ReadSetup(morvik::fuzz::AsText(data, size));
    if (!setup) return 0;
    const std::optional<Outcome> cut = Run(*setup, ReadCutter(setup->cutSeed));
    if (!cut) return 0;
    if ((setup->flags & kConfigured) == 0) {
        const Outcome expected = SplitAtCrLf(setup->stream);
        Require(cut->delivered == expected.delivered, "the line packet delivers the CR LF lines");
        Require(cut->pending == expected.pending, "the line packet holds back the unfinished line");
        return 0;
    }
    Require(PiecesInOrder(cut->delivered, setup->stream), "deliveries are pieces of the stream, in order");
    if ((setup->flags & kTimeouts) == 0) {
        const std::optional<Outcome> whole = Run(*setup, ReadCutter(0));
        Require(whole && whole->delivered == cut->delivered, "the cuts between reads change no delivery");
    }
    return 0;
}
