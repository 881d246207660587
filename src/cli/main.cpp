// morvik2-cli: Morvik II's work on an RX57 module without a window, for
// scripts, batches and version-controlled settings.

#include <unistd.h>

#include <csignal>
#include <iostream>

#include "cli/cli_program.h"

int main(int argc, char** argv) {
    // A report piped into a closed reader ends the write, not the program:
    // the module is still to be left as the shutdown leaves it.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return morvik::cli::RunProgram(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
}
