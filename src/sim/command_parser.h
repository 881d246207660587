#pragma once
// Splits a command line ("AT" and what follows) into the commands it holds,
// e.g. "AT&W-1\R10&W1&F1" into four.

#include <optional>
#include <string_view>
#include <vector>

#include "sim/profile.h"

namespace morvik::sim {

struct Command {
    enum class Kind {
        kSetting,          // E, Q, V, &C, &D, \Q, \R with a value (0 when missing)
        kReset,            // Z
        kInfo,             // I<n>
        kReadRegister,     // S<n>?
        kWriteRegister,    // S<n>=<v>
        kListProfile,      // &V<n>
        kStoreProfile,     // &W<n>
        kClearProfile,     // &W-<n>
        kActivateProfile,  // &F<n>
        kOnAirFixedPart,   // ^SENB,[slot]
        kOnAirPortable,    // ^SOAC,[slot]
        kChangeConfig,     // ^SBASC<n>
    };

    Kind kind;
    std::optional<unsigned> number;  // the digits after the command, if any (a register's number)
    unsigned value = 0;              // a register write's value
    Setting setting = Setting::kEcho;  // for kSetting
};

// The commands of the line, or nullopt when it is not well formed. Blanks are
// ignored and letters may be in either case. Numbers stay unchecked here,
// except that absurdly long digit runs make the line malformed.
std::optional<std::vector<Command>> ParseCommandLine(std::string_view line);

}  // namespace morvik::sim
