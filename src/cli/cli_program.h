#pragma once
// morvik2-cli as a whole, apart from the process around it: the command line
// in, the reports and messages out, and the exit code.

#include <ostream>
#include <string>
#include <vector>

namespace morvik::cli {

// args without the program name. errIsTerminal: standard error is a
// terminal, where progress is drawn as a bar.
int RunProgram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal);

}  // namespace morvik::cli
