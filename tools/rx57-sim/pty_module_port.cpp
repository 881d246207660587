#include "pty_module_port.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "platform/eintr.h"

namespace morvik::sim {

namespace {

constexpr std::int64_t kOpenCheckIntervalMs = 20;

constexpr std::array<std::pair<speed_t, std::uint32_t>, 8> kSpeeds{{
    {B4800, 4800}, {B9600, 9600}, {B19200, 19200}, {B38400, 38400},
    {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B2400, 2400},
}};

speed_t SpeedOf(std::uint32_t baud) {
    for (const auto& [speed, rate] : kSpeeds) {
        if (rate == baud) return speed;
    }
    return B19200;
}

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("pseudo-terminal: " + what + ": " + std::strerror(errno));
}

}  // namespace

PtyModulePort::PtyModulePort(platform::EventLoop& loop, std::uint32_t initialBaud, Handlers handlers)
    : loop_(loop), handlers_(std::move(handlers)), openCheck_(loop, [this] { CheckForOpen(); }), sink_(loop) {
    master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master_.Valid()) Fail("cannot create one");
    if (::grantpt(master_.Get()) != 0 || ::unlockpt(master_.Get()) != 0) Fail("cannot unlock it");
    char path[256];
    if (::ptsname_r(master_.Get(), path, sizeof path) != 0) Fail("no slave path");
    slavePath_ = path;

    // Raw at the module's rate, so a program that opens the port without
    // setting it up still talks to the module. Master and slave share these settings.
    termios settings{};
    if (::tcgetattr(master_.Get(), &settings) != 0) Fail("cannot read its settings");
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, SpeedOf(initialBaud));
    if (::tcsetattr(master_.Get(), TCSANOW, &settings) != 0) Fail("cannot set it up");

    // A slave that was never opened shows no hang-up; open and close it once
    // so that the program's first open looks like every later one.
    platform::UniqueFd slave(::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!slave.Valid()) Fail("cannot open " + slavePath_);
    slave.Reset();

    openCheck_.SetInterval(kOpenCheckIntervalMs);
    openCheck_.Start();
}

PtyModulePort::~PtyModulePort() {
    if (watch_ != 0) loop_.UnwatchFd(watch_);
}

std::uint32_t PtyModulePort::ProgramRate() const {
    termios settings{};
    if (::tcgetattr(master_.Get(), &settings) != 0) return 0;
    const speed_t speed = ::cfgetospeed(&settings);
    for (const auto& [known, rate] : kSpeeds) {
        if (known == speed) return rate;
    }
    return 0;
}

void PtyModulePort::Write(std::string_view bytes) {
    // Bytes written while no program holds the port would wait in the
    // pseudo-terminal and reach the next program that opens it.
    if (!openByProgram_ || cut_) return;
    sink_.Write(bytes);
}

void PtyModulePort::Drop() {
    if (!openByProgram_ || cut_) return;
    cut_ = true;
    ::tcflush(master_.Get(), TCIOFLUSH);
    if (handlers_.onNote) handlers_.onNote("line cut until the port is opened again");
}

void PtyModulePort::CheckForOpen() {
    pollfd check{master_.Get(), POLLIN, 0};
    if (::poll(&check, 1, 0) < 0 || (check.revents & POLLHUP)) return;
    openCheck_.Stop();
    openByProgram_ = true;
    cut_ = false;
    watch_ = loop_.WatchFd(master_.Get(), platform::EventLoop::kReadable,
                           [this](unsigned flags) { OnMasterEvent(flags); });
    sink_.Attach(master_.Get(), watch_);
    if (handlers_.onNote) handlers_.onNote("port opened by the program");
    if (handlers_.onOpen) handlers_.onOpen();
}

void PtyModulePort::OnMasterEvent(unsigned flags) {
    if (flags & platform::EventLoop::kWritable) sink_.Flush();
    char buffer[4096];
    while (true) {
        const ssize_t received = platform::RetryOnEintr([&] { return ::read(master_.Get(), buffer, sizeof buffer); });
        if (received > 0) {
            if (!cut_ && handlers_.onBytes) {
                handlers_.onBytes(std::string_view(buffer, static_cast<std::size_t>(received)));
            }
            continue;
        }
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        Closed();  // EIO: the last slave descriptor is gone
        return;
    }
    if (flags & platform::EventLoop::kHangup) Closed();
}

void PtyModulePort::Closed() {
    loop_.UnwatchFd(watch_);
    watch_ = 0;
    sink_.Detach();
    // What the program did not read must not greet the next program.
    ::tcflush(master_.Get(), TCIOFLUSH);
    openByProgram_ = false;
    cut_ = false;
    if (handlers_.onNote) handlers_.onNote("port closed by the program");
    openCheck_.Start();
}

}  // namespace morvik::sim
