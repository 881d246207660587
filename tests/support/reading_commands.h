#pragma once
// What the link asks when it reads the simulator's default module (a Server
// FP with slots 0 and 1 in use) after the escape, in order, without the CRs:
// type and identity lines, own identity, profile, current subscription and
// the sixteen slots.

#include <string>
#include <vector>

namespace morvik::test {

inline std::vector<std::string> DefaultServerFpReading() {
    std::vector<std::string> commands = {"ATS154?", "ATI2",    "ATI0",    "ATI1",    "ATI3",  "ATS220?",
                                         "ATS221?", "ATS222?", "ATS223?", "ATS224?", "AT&V0", "ATS189?"};
    for (int slot = 0; slot < 16; ++slot) {
        commands.push_back("ATS190=" + std::to_string(slot));
        commands.push_back("ATS191?");
        if (slot > 1) continue;
        for (int n = 193; n <= 197; ++n) commands.push_back("ATS" + std::to_string(n) + "?");
    }
    return commands;
}

}  // namespace morvik::test
