#pragma once
// The rules by which a line handed over by the line packet becomes a line for
// the response dispatcher.

#include <optional>
#include <string>

namespace morvik::channel {

// The line to dispatch, or nothing: an empty delivery is ignored, a line that
// contains the echo text of the last command is the module's echo and dropped,
// a line with a control character is kept from dispatch. A CR LF after the
// second character cuts off everything up to and including it (and a line
// left empty by that is ignored too).
std::optional<std::string> DispatchableLine(const std::string& delivered, const std::string& echoText);

}  // namespace morvik::channel
