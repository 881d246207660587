// What the program costs while it waits for the user: the real morvik2 on an
// X display of its own (Xvfb) reads rx57-sim over loopback TCP and then sits
// in AT-Mode, where only the keep-alive "AT" every 3 s and the socket timer
// run; then the simulator goes away and the program sits Offline. Its CPU
// share in each comes from /proc/<pid>/stat (user and system time of all its
// threads). Aim: at most 0.3 % of one core in both.
//
//   bench_idle_cpu [SECONDS]   measures each state for SECONDS (default 20)
//
// The program is set up as scripts/run.sh does it: a program folder with the
// port directory and settings for the simulator, the port dialog at start
// confirmed with Return (sent by xdotool).

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "bench_common.h"

namespace {

using namespace morvik::bench;
namespace fs = std::filesystem;

// A fresh program folder with a copy of morvik2, removed at the end.
class ProgramFolder {
public:
    explicit ProgramFolder(int simPort) {
        // The program keeps its files beside itself.
        fs::copy_file(SiblingProgram("morvik2"), Path() / "morvik2");
        const std::string port = std::to_string(simPort);
        Write("DectPort.ini", "[Port]\r\nNo=1\r\nAddr1=127.0.0.1\r\nPort1=" + port + "\r\nComment1=rx57-sim\r\n");
        Write("morvik2.ini", "[Common]\r\nViewMode=1\r\nViewMonitor=1\r\n\r\n[Communication]\r\nWinSocket=1\r\n"
                             "WS_IP=127.0.0.1\r\nWS_Port=" + port + "\r\n");
    }

    fs::path Path() const { return folder_.Path(); }

private:
    void Write(const std::string& name, const std::string& text) const { std::ofstream(Path() / name) << text; }

    TempFolder folder_{"morvik-idle"};
};

// User plus system CPU seconds of a process so far, all its threads included.
double ProcessCpuSeconds(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The command name in parentheses may hold blanks; the fields follow its end:
    // state is field 3, utime 14 and stime 15.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string skipped;
    for (int field = 3; field < 14; ++field) fields >> skipped;
    unsigned long long user = 0, system = 0;
    if (!(fields >> user >> system)) Die("read /proc/<pid>/stat");
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

void PrintShare(const char* state, pid_t pid, int seconds) {
    const double cpuBefore = ProcessCpuSeconds(pid);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double wall = Seconds(Clock::now() - start);
    const double cpu = ProcessCpuSeconds(pid) - cpuBefore;
    // The kernel counts in clock ticks: one tick more or less is the resolution.
    const double tick = 1.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    std::printf("%-8s %.2f s CPU in %.1f s = %.3f %% (+/- %.3f) of one core (aim: at most 0.3 %%)\n", state, cpu,
                wall, 100.0 * cpu / wall, 100.0 * tick / wall);
}

bool FileContains(const fs::path& path, const std::string& text) {
    std::ifstream file(path);
    const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return content.find(text) != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    // -displayfd picks a free display and writes its number to standard output.
    ChildProcess xvfb({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    const std::string display = xvfb.ReadLine(10000);
    if (display.empty()) Die("Xvfb did not start (bash scripts/install-deps.sh installs it)");
    const std::string displayEntry = "DISPLAY=:" + display;

    const fs::path log = fs::temp_directory_path() / ("morvik-idle-sim-" + std::to_string(::getpid()) + ".log");
    SimServer sim({"--log", log.string()});
    const ProgramFolder folder(sim.Port());
    ChildProcess program({(folder.Path() / "morvik2").string()}, {displayEntry, "QT_QPA_PLATFORM=xcb"});
    ChildProcess focus({"xdotool", "search", "--sync", "--onlyvisible", "--name", "^Communication Port$",
                        "windowfocus", "--sync"},
                       {displayEntry});
    if (!focus.WaitForEnd(10000)) Die("the port dialog did not come up (is xdotool installed?)");
    // The key goes on its own: chained after the focus, xdotool would send it to
    // the dialog, which closes on the press, so the release would fail and leave
    // Return held down and repeating into the main window for the whole run.
    ChildProcess confirm({"xdotool", "key", "Return"}, {displayEntry});
    if (!confirm.WaitForEnd(10000)) Die("xdotool did not press Return");

    // The first keep-alive probe: the module has been read and the link is idle.
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!FileContains(log, "< AT{0D}")) {
        if (Clock::now() > deadline) Die("the module was not read within 30 s");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::printf("morvik2 against rx57-sim over loopback TCP, %d s per state:\n", seconds);
    PrintShare("AT-Mode", program.Pid(), seconds);

    // The connection ends with the simulator; the program shows " Disconnect" and stays Offline.
    sim.Process().Stop();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    PrintShare("Offline", program.Pid(), seconds);
    fs::remove(log);
    return 0;
}
