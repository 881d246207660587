// rx57-sim: a simulated RX57 DECT data module on TCP and/or a pseudo-terminal.

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/poll_loop.h"
#include "platform/stop_signals.h"
#include "pty_module_port.h"
#include "sim/module_config.h"
#include "sim/rx57_module.h"
#include "sim/settings_file.h"
#include "sim/sim_options.h"
#include "sim/traffic_log.h"
#include "tcp_module_server.h"

namespace {

using namespace morvik;

constexpr int kUsageError = 2;
constexpr int kRuntimeError = 1;

int Complain(const std::string& problem, int code) {
    std::cerr << "rx57-sim: " << problem << '\n';
    if (code == kUsageError) std::cerr << "Try rx57-sim --help.\n";
    return code;
}

int Serve(const sim::SimOptions& options, sim::ModuleConfig config) {
    platform::PollLoop loop;
    platform::StopSignals stopSignals(loop, [&](int) { loop.Quit(0); });

    std::ofstream logFile;
    std::optional<sim::TrafficLog> log;
    if (options.logFile) {
        if (*options.logFile != "-") {
            logFile.open(*options.logFile, std::ios::app);
            if (!logFile) return Complain("cannot write the log " + *options.logFile, kRuntimeError);
        }
        log.emplace(loop, *options.logFile == "-" ? std::cout : logFile);
    }

    const bool resetOnConnect = config.resetOnConnect;
    const bool dropByReset = config.dropByReset;
    sim::Rx57Module module(loop, std::move(config));
    const auto note = [&](std::string_view text) {
        if (log) log->Record(sim::Rx57Module::TrafficKind::kEvent, text);
    };
    if (log) module.SetTrafficSink([&](sim::Rx57Module::TrafficKind kind, std::string_view text) {
        log->Record(kind, text);
    });
    if (options.stateFile) {
        module.SetStateChanged([&] {
            if (auto problem = sim::SaveStateFile(*options.stateFile, module.State())) {
                std::cerr << "rx57-sim: " << *problem << '\n';
            }
        });
    }

    std::unique_ptr<sim::PtyModulePort> pty;
    std::unique_ptr<sim::TcpModuleServer> tcp;
    if (options.pty) {
        pty = std::make_unique<sim::PtyModulePort>(
            loop, module.ModuleBaud(),
            sim::PtyModulePort::Handlers{[&] { module.Reset(); }, [&](std::string_view bytes) { module.Feed(bytes); },
                                         note});
        std::cout << pty->SlavePath() << std::endl;
        // The line's rate matters only while the program holds the pseudo-terminal.
        module.SetLineRateProbe([&] { return pty->IsOpenByProgram() ? pty->ProgramRate() : 0; });
    }
    if (options.tcp) {
        tcp = std::make_unique<sim::TcpModuleServer>(
            loop, options.tcpHost, options.tcpPort,
            sim::TcpModuleServer::Handlers{[&] {
                                               if (resetOnConnect) module.Reset();
                                           },
                                           [&](std::string_view bytes) { module.Feed(bytes); }, note});
        std::cout << "listening on " << tcp->ListeningAddress() << std::endl;
    }
    module.SetOutput([&](std::string_view bytes) {
        if (pty) pty->Write(bytes);
        if (tcp) tcp->Write(bytes);
    });
    module.SetDropHandler([&] {
        if (pty) pty->Drop();
        if (tcp) tcp->Drop(dropByReset);
    });

    module.Reset();  // power-up
    const int code = loop.Run();
    note("stopped");
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    // A client that vanishes must show up as a failed write, not end the simulator.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const sim::ParsedSimOptions parsed = sim::ParseSimOptions(args);
    if (!parsed.error.empty()) return Complain(parsed.error, kUsageError);
    if (parsed.options.help) {
        std::cout << sim::SimUsage();
        return 0;
    }
    sim::ModuleConfig config;
    if (auto problem = sim::BuildModuleConfig(parsed.options, config)) return Complain(*problem, kUsageError);
    try {
        return Serve(parsed.options, std::move(config));
    } catch (const std::exception& error) {
        return Complain(error.what(), kRuntimeError);
    }
}
