// Lines per second delivered end to end to the line handler: a peer writes
// module lines as fast as it can, and they travel through loopback TCP (or a
// pseudo-terminal), the dispatcher and the line matcher to the handler on the
// loop thread.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "comm/data_packet.h"
#include "comm/winsock_port.h"
#include "module_lines.h"
#include "platform/poll_loop.h"

namespace {

using namespace morvik;

constexpr std::int64_t kBoundMs = 120000;

// Writes all of bytes to fd in pieces of at most chunk bytes.
void WriteAll(int fd, const std::string& bytes, std::size_t chunk) {
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + at, std::min(chunk, bytes.size() - at));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error(std::string("write: ") + std::strerror(errno));
        }
        at += static_cast<std::size_t>(n);
    }
}

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
    const auto start = std::chrono::steady_clock::now();
    std::thread peer(writer);
    loop.RunUntil([&] { return result.lines >= expected; }, kBoundMs);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    port.SetOpen(false);  // the TCP peer waits for the close
    peer.join();
    return result;
}

Result OverTcp(const std::string& stream) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on loopback");

    platform::PollLoop loop;
    comm::TCmWinsockPort port(loop);
    port.SetAutoOpen(false);
    port.SetDeviceLayer(comm::dlWinsock);
    port.SetWsTelnet(false);
    port.SetWsAddress("127.0.0.1");
    port.SetWsPort(std::to_string(ntohs(address.sin_port)));
    const Result result = Measure(loop, port, CountLines(stream), [&] {
        const int connection = ::accept(listener, nullptr, nullptr);
        WriteAll(connection, stream, 64 * 1024);
        ::shutdown(connection, SHUT_WR);
        char drain[256];
        while (::read(connection, drain, sizeof drain) > 0) {
        }
        ::close(connection);
    });
    ::close(listener);
    return result;
}

Result OverPseudoTerminal(const std::string& stream) {
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("no pseudo-terminal");
    platform::PollLoop loop;
    comm::TCmWinsockPort port(loop);
    port.SetAutoOpen(false);
    port.SerialDevices().Bind(1, name);
    port.SetComNumber(1);
    port.SetBaud(115200);
    const Result result = Measure(loop, port, CountLines(stream), [&] { WriteAll(master, stream, 4096); });
    ::close(slave);
    ::close(master);
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
