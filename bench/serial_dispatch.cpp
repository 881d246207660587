// Figures of a serial port's dispatcher on a pseudo-terminal, in real time:
//  - latency from the far end's write to the data-available delivery on the
//    loop thread (a synchronous handler, as the line packet's notification crosses);
//  - CPU used by an open, idle port (its three threads and the loop);
//  - receive throughput, every byte checked, read on the dispatcher thread.
// Prints the figures; asserts nothing.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_common.h"
#include "comm/serial_dispatcher.h"
#include "platform/poll_loop.h"

namespace {

using morvik::comm::PortSettings;
using morvik::comm::TCmWin32Dispatcher;
using morvik::comm::TriggerEvent;
using morvik::comm::TriggerKind;
using morvik::platform::PollLoop;
using namespace morvik::bench;

// A pseudo-terminal whose master side plays the module.
class Pty {
public:
    Pty() {
        int master = -1;
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) Die("openpty");
        slavePath_ = name;
        master_.Reset(master);
        slave_.Reset(slave);  // kept open so the tty survives the port's close
    }
    const std::string& SlavePath() const { return slavePath_; }
    void Send(const char* bytes, std::size_t size) { WriteAll(master_.Get(), bytes, size); }

private:
    morvik::platform::UniqueFd master_;
    morvik::platform::UniqueFd slave_;
    std::string slavePath_;
};

struct OpenPort {
    PollLoop loop;
    Pty pty;
    TCmWin32Dispatcher dispatcher{loop};

    OpenPort() {
        PortSettings settings;
        settings.deviceName = pty.SlavePath();
        settings.line.baud = 115200;
        if (dispatcher.StartPort(settings) != 0) Die("start port");
        dispatcher.SetLengthTrigger(1);
    }
    // Reads all reported bytes; returns them.
    std::string Take(const TriggerEvent& event) {
        std::string bytes(static_cast<std::size_t>(event.param), '\0');
        if (dispatcher.ReadBlock(bytes.data(), event.param) != event.param) Die("read block");
        return bytes;
    }
};

void MeasureLatency() {
    constexpr int kSamples = 2000;
    OpenPort port;
    std::vector<Clock::time_point> written(kSamples);
    std::vector<Clock::time_point> delivered(kSamples);
    std::mutex mutex;
    std::condition_variable arrived;
    int deliveries = 0;  // under mutex

    port.dispatcher.AddEventHandler(&port, [&](const TriggerEvent& event) {
        if (event.kind != TriggerKind::kDataAvailable) return;
        const auto now = Clock::now();
        port.Take(event);
        std::lock_guard lock(mutex);
        if (deliveries < kSamples) delivered[static_cast<std::size_t>(deliveries)] = now;
        ++deliveries;
        arrived.notify_one();
    }, true);

    std::thread writer([&] {
        for (int i = 0; i < kSamples; ++i) {
            const char byte = 'x';
            written[static_cast<std::size_t>(i)] = Clock::now();
            port.pty.Send(&byte, 1);
            std::unique_lock lock(mutex);
            if (!arrived.wait_for(lock, std::chrono::seconds(5), [&] { return deliveries > i; })) {
                std::fprintf(stderr, "no delivery for sample %d\n", i);
                std::exit(1);
            }
        }
    });
    const bool done = port.loop.RunUntil(
        [&] {
            std::lock_guard lock(mutex);
            return deliveries >= kSamples;
        },
        60000);
    writer.join();
    if (!done) Die("latency run");

    std::vector<double> micros;
    for (int i = 0; i < kSamples; ++i) {
        micros.push_back(std::chrono::duration<double, std::micro>(delivered[static_cast<std::size_t>(i)] -
                                                                  written[static_cast<std::size_t>(i)])
                             .count());
    }
    PrintLatency("write -> data available on the loop thread", std::move(micros));
}

void MeasureIdleCpu() {
    constexpr std::int64_t kIdleMs = 10000;
    OpenPort port;
    port.dispatcher.AddEventHandler(&port, [&](const TriggerEvent&) {}, true);
    PrintIdleCpu("idle open port", port.loop, kIdleMs);
}

void MeasureThroughput() {
    constexpr std::size_t kTotal = 64u << 20;
    OpenPort port;
    std::atomic<std::size_t> received{0};
    std::atomic<bool> corrupt{false};
    std::mutex mutex;
    std::condition_variable finished;

    // Read on the dispatcher thread, as the line packet does.
    port.dispatcher.AddEventHandler(&port, [&](const TriggerEvent& event) {
        if (event.kind != TriggerKind::kDataAvailable) return;
        const std::string bytes = port.Take(event);
        std::size_t at = received.load();
        for (char c : bytes) {
            if (c != static_cast<char>(at % 251)) corrupt = true;
            ++at;
        }
        std::lock_guard lock(mutex);
        received = at;
        if (at >= kTotal) finished.notify_all();
    });

    std::string pattern(251 * 256, '\0');
    for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>(i % 251);
    const auto start = Clock::now();
    std::thread writer([&] {
        for (std::size_t sent = 0; sent < kTotal;) {
            const std::size_t size = std::min(pattern.size(), kTotal - sent);
            port.pty.Send(pattern.data(), size);
            sent += size;
        }
    });
    {
        std::unique_lock lock(mutex);
        finished.wait_for(lock, std::chrono::seconds(120), [&] { return received.load() >= kTotal; });
    }
    const double seconds = Seconds(Clock::now() - start);
    writer.join();
    std::printf("receive throughput: %zu of %zu bytes in %.2f s = %.1f MB/s, %s\n", received.load(), kTotal,
                seconds, static_cast<double>(received.load()) / seconds / 1e6,
                corrupt || received.load() != kTotal ? "LOSS OR CORRUPTION" : "every byte checked, none lost");
}

}  // namespace

int main() {
    MeasureLatency();
    MeasureIdleCpu();
    MeasureThroughput();
    return 0;
}
