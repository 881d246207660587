// Lines per second delivered end to end to the line handler: a peer writes
// module lines as fast as it can, and they travel through loopback TCP (or a
// pseudo-terminal), the dispatcher and the line matcher to the handler on the
// loop thread.

#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>

#include "bench_common.h"
#include "comm/data_packet.h"
#include "comm/serial_tcp_port.h"
#include "module_lines.h"
#include "platform/poll_loop.h"

namespace {

using namespace morvik;

constexpr std::int64_t kBoundMs = 120000;

std::size_t CountLines(const std::string& stream) {
    return static_cast<std::size_t>(std::count(stream.begin(), stream.end(), '\n'));
}

struct Result {
    std::size_t lines = 0;
    std::size_t expected = 0;
    double seconds = 0;
};

// Opens the port, lets writer feed the far end, and times until every line has arrived.
template <typename Writer>
Result Measure(platform::PollLoop& loop, comm::TCmWinsockPort& port, std::size_t expected, Writer writer) {
    comm::TCmDataPacket line;
    comm::ConfigureLinePacket(line);
    line.SetComPort(&port);
    Result result;
    result.expected = expected;
    line.OnStringPacket = [&result](comm::TCmDataPacket&, const std::string&) { ++result.lines; };
    line.SetEnabled(true);
    port.SetOpen(true);
    const auto start = bench::Clock::now();
    std::thread peer(writer);
    loop.RunUntil([&] { return result.lines >= expected; }, kBoundMs);
    result.seconds = bench::Seconds(bench::Clock::now() - start);
    port.SetOpen(false);  // the TCP peer waits for the close
    peer.join();
    return result;
}

Result OverTcp(const std::string& stream) {
    std::uint16_t listeningPort = 0;
    const platform::UniqueFd listener = bench::ListenOnLoopback(listeningPort);

    platform::PollLoop loop;
    comm::TCmWinsockPort port(loop);
    port.SetAutoOpen(false);
    port.SetDeviceLayer(comm::dlWinsock);
    port.SetWsTelnet(false);
    port.SetWsAddress("127.0.0.1");
    port.SetWsPort(std::to_string(listeningPort));
    const Result result = Measure(loop, port, CountLines(stream), [&] {
        const platform::UniqueFd connection(::accept(listener.Get(), nullptr, nullptr));
        bench::WriteAll(connection.Get(), stream.data(), stream.size(), 64 * 1024);
        ::shutdown(connection.Get(), SHUT_WR);
        char drain[256];
        while (::read(connection.Get(), drain, sizeof drain) > 0) {
        }
    });
    return result;
}

Result OverPseudoTerminal(const std::string& stream) {
    int masterFd = -1, slaveFd = -1;
    char name[256] = {};
    if (::openpty(&masterFd, &slaveFd, name, nullptr, nullptr) != 0) throw std::runtime_error("no pseudo-terminal");
    const platform::UniqueFd master(masterFd), slave(slaveFd);
    platform::PollLoop loop;
    comm::TCmWinsockPort port(loop);
    port.SetAutoOpen(false);
    port.SerialDevices().Bind(1, name);
    port.SetComNumber(1);
    port.SetBaud(115200);
    const Result result = Measure(loop, port, CountLines(stream), [&] { bench::WriteAll(master.Get(), stream.data(), stream.size(), 4096); });
    return result;
}

void Print(const char* path, const Result& result, std::size_t bytes) {
    std::printf("%-18s %9zu lines in %6.3f s: %10.0f lines/s (%.1f MB/s)%s\n", path, result.lines, result.seconds,
                result.lines / result.seconds, bytes / result.seconds / 1e6,
                result.lines == result.expected ? "" : "  INCOMPLETE: lines were lost");
}

}  // namespace

int main() {
    const std::string tcpStream = bench::MakeModuleLines(32 << 20);
    const std::string ptyStream = bench::MakeModuleLines(2 << 20);
    std::printf("module lines of 5 to 40 bytes, written by the peer as fast as it can\n");
    Print("loopback TCP:", OverTcp(tcpStream), tcpStream.size());
    Print("pseudo-terminal:", OverPseudoTerminal(ptyStream), ptyStream.size());
    return 0;
}
