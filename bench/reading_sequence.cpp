// Reading a Server FP with 16 occupied slots from rx57-sim over loopback TCP
// on the real event loop, per command/answer exchange, printed beside a
// minimal client that makes the same exchanges over a raw socket in the same
// run. The module answers without latency, so the figures show what the link
// itself costs per exchange.
//
// Two figures for the link: the reading sequence as the program runs it now,
// from the module's "OK" to its end; and the whole Server FP read pattern
// (configuration type, identity lines, own identity, profile listing, current
// subscription, 16 slots of seven register accesses: 124 exchanges) issued
// through the command channel's operations in the reading sequence's order.
//
// The link runs on the program's own port component and line packet; the
// raw client is a blocking socket that reads lines itself.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "channel/com_port_link.h"
#include "session/module_link.h"
#include "platform/poll_loop.h"

extern char** environ;

namespace {

using namespace morvik;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;
constexpr int kSlots = 16;

// rx57-sim on a free loopback port, stopped when this goes away.
class SimServer {
public:
    SimServer() {
        const std::string program = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "rx57-sim");
        std::vector<std::string> args = {program, "--tcp", "127.0.0.1:0", "--latency", "0", "--restart-delay", "50",
                                         "--config-type", "3"};
        for (int slot = 0; slot < kSlots; ++slot) {
            args.push_back("--set");
            args.push_back("slots.slot" + std::to_string(slot) + "=2.61.17.200." + std::to_string(slot + 1));
        }
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);

        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (spawned != 0) throw std::runtime_error("cannot start " + program);

        std::string text;
        pollfd waitFor{out[0], POLLIN, 0};
        while (text.find('\n') == std::string::npos && poll(&waitFor, 1, 5000) > 0) {
            char buffer[256];
            const ssize_t got = read(out[0], buffer, sizeof buffer);
            if (got <= 0) break;
            text.append(buffer, static_cast<std::size_t>(got));
        }
        close(out[0]);
        const std::size_t colon = text.rfind(':', text.find('\n'));
        if (text.rfind("listening on", 0) != 0 || colon == std::string::npos) {
            throw std::runtime_error("rx57-sim did not start: " + text);
        }
        port_ = std::stoi(text.substr(colon + 1));
    }
    ~SimServer() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    int Port() const { return port_; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

int ConnectLoopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot connect to rx57-sim");
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

void WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t sent = send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        if (sent <= 0) throw std::runtime_error("send failed");
        text.remove_prefix(static_cast<std::size_t>(sent));
    }
}

// Nobody at the keyboard: messages go to standard error, questions are cancelled.
struct NoUser : features::UserInteraction {
    void ShowError(const std::string& text) override { std::fprintf(stderr, "error: %s\n", text.c_str()); }
    void ShowInformation(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    std::optional<std::string> OpenFileName(const features::FileRequest&) override { return std::nullopt; }
    std::optional<std::string> SaveFileName(const features::FileRequest&) override { return std::nullopt; }
    std::optional<features::PortChoice> ChoosePort(const std::string&, const std::string&, bool) override {
        return std::nullopt;
    }
    bool EditSubscription(features::SubscriptionEdit&) override { return false; }
    void Beep() override {}
};

// The command lines of a whole Server FP read, in the reading sequence's order.
std::vector<std::string> ServerFpReadCommands() {
    std::vector<std::string> commands = {"ATS154?", "ATI2", "ATI0", "ATI1", "ATI3"};
    for (int n = 220; n <= 224; ++n) commands.push_back("ATS" + std::to_string(n) + "?");
    commands.push_back("AT&V0");
    commands.push_back("ATS189?");
    for (int slot = 0; slot < kSlots; ++slot) {
        commands.push_back("ATS190=" + std::to_string(slot));
        for (int n : {191, 193, 194, 195, 196, 197}) commands.push_back("ATS" + std::to_string(n) + "?");
    }
    return commands;
}

double MicrosSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

struct LinkFigures {
    int sequenceExchanges = 0;
    double sequenceMicros = 0;
    double patternMicros = 0;
};

LinkFigures RunLink(int simPort, const std::vector<std::string>& commands) {
    platform::PollLoop loop;
    channel::ComPortLink port(loop);
    NoUser user;
    session::ModuleLink link(loop, port, user, "/tmp/");
    // The connection events as the program's connection control takes them.
    port.SetOnConnect([&] {
        link.model.statusBar.SetText(channel::kConnectionPanel, channel::kConnectText);
        link.machine.SetLinkState(channel::LinkState::kSearch);
    });
    port.SetOnDisconnect([&] {
        link.model.statusBar.SetText(channel::kConnectionPanel, channel::kDisconnectText);
        link.machine.SetLinkState(channel::LinkState::kOffline);
    });
    port.SetDeviceLayer(channel::DeviceLayer::kTcp);
    port.SetWsAddress("127.0.0.1");
    port.SetWsPort(std::to_string(simPort));
    const auto commandsSent = [&] {
        const std::vector<std::string>& lines = link.model.monitor.Lines();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                              [](const std::string& line) { return line.front() == '<'; }));
    };

    LinkFigures figures;
    Clock::time_point okArrived;
    int writesAtOk = 0;
    link.model.statusBar.panels[channel::kLinkStatePanel].Subscribe([&](const std::string& text) {
        if (text != " AT-Mode") return;
        okArrived = Clock::now();
        writesAtOk = commandsSent();
    });
    link.machine.SetLinkState(channel::LinkState::kSearch);
    port.Open();
    link.machine.StartDelay(100, channel::kSearchStepDelay);
    if (!loop.RunUntil([&] { return link.fields.connectTimeout.IsActive(); }, 20000)) {
        throw std::runtime_error("the link did not read the module");
    }
    figures.sequenceMicros = MicrosSince(okArrived);
    figures.sequenceExchanges = commandsSent() - writesAtOk;

    const Clock::time_point start = Clock::now();
    for (const std::string& command : commands) {
        const std::size_t equals = command.find('=');
        std::string answer;
        if (command == "AT&V0") {
            link.profile.ReadProfile();
            answer = link.fields.AnswerLine;
        } else if (command.starts_with("ATS") && equals != std::string::npos) {
            answer = link.channel.WriteRegister(std::stoi(command.substr(3)), std::stoi(command.substr(equals + 1)));
        } else if (command.starts_with("ATS")) {
            answer = std::to_string(link.channel.ReadRegister(std::stoi(command.substr(3))));
        } else {
            answer = link.channel.QueryCommand(command, true);
        }
        if (link.channel.NoAnswer()) throw std::runtime_error("no answer to " + command);
    }
    figures.patternMicros = MicrosSince(start);
    return figures;
}

// A blocking client: each command, then its answer lines, echo skipped.
class RawClient {
public:
    explicit RawClient(int port) : fd_(ConnectLoopback(port)) {}
    ~RawClient() { close(fd_); }

    std::string ReadLine() {
        for (;;) {
            const std::size_t end = pending_.find("\r\n");
            if (end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 2);
                return line;
            }
            char buffer[4096];
            pollfd waitFor{fd_, POLLIN, 0};
            if (poll(&waitFor, 1, 5000) <= 0) throw std::runtime_error("raw client: no answer");
            const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
            if (got <= 0) throw std::runtime_error("raw client: connection closed");
            pending_.append(buffer, static_cast<std::size_t>(got));
        }
    }
    // The next line that is neither empty nor the echo of the command.
    std::string ReadAnswer(const std::string& command) {
        for (;;) {
            std::string line = ReadLine();
            if (!line.empty() && line.find(command) == std::string::npos) return line;
        }
    }
    void EnterCommandMode() {
        while (ReadLine().find("RX") == std::string::npos) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // guard time before the escape
        WriteAll(fd_, "+++");
        while (ReadLine() != "OK") {
        }
    }
    double Exchange(const std::vector<std::string>& commands) {
        const Clock::time_point start = Clock::now();
        for (const std::string& command : commands) {
            WriteAll(fd_, command + "\r");
            const int lines = command == "AT&V0" ? 7 : 1;
            for (int i = 0; i < lines; ++i) ReadAnswer(command);
        }
        return MicrosSince(start);
    }

private:
    int fd_;
    std::string pending_;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    try {
        const SimServer sim;
        const std::vector<std::string> commands = ServerFpReadCommands();
        const double exchanges = static_cast<double>(commands.size());

        std::vector<double> sequencePerExchange, linkPerExchange, rawPerExchange;
        int sequenceExchanges = 0;
        for (int round = 0; round < kRounds; ++round) {
            const LinkFigures link = RunLink(sim.Port(), commands);
            sequenceExchanges = link.sequenceExchanges;
            sequencePerExchange.push_back(link.sequenceMicros / std::max(1, link.sequenceExchanges));
            linkPerExchange.push_back(link.patternMicros / exchanges);

            RawClient raw(sim.Port());
            raw.EnterCommandMode();
            rawPerExchange.push_back(raw.Exchange(commands) / exchanges);
        }

        const double linkMedian = Median(linkPerExchange);
        const double rawMedian = Median(rawPerExchange);
        std::printf("reading a Server FP with %d occupied slots from rx57-sim over loopback TCP, median of %d rounds\n",
                    kSlots, kRounds);
        std::printf("  reading sequence as run now, from \"OK\" to its end: %d exchanges, %8.1f us per exchange\n",
                    sequenceExchanges, Median(sequencePerExchange));
        std::printf("  link, whole read pattern:                          %d exchanges, %8.1f us per exchange\n",
                    static_cast<int>(commands.size()), linkMedian);
        std::printf("  raw socket client, same exchanges:                 %d exchanges, %8.1f us per exchange\n",
                    static_cast<int>(commands.size()), rawMedian);
        std::printf("  link / raw: %.2f (aim: at most 1.50)\n", linkMedian / rawMedian);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_reading_sequence: %s\n", error.what());
        return 1;
    }
}
