#pragma once
// Small text helpers shared by the simulator's parsers.

#include <optional>
#include <string>
#include <string_view>

namespace morvik::sim {

// Without leading and trailing blanks and tabs.
std::string_view Trim(std::string_view text);
std::string ToUpper(std::string_view text);
std::string ToLower(std::string_view text);
// A non-empty run of decimal digits with a value of at most max; nothing else.
std::optional<unsigned> ParseUnsigned(std::string_view text, unsigned max);
// "yes"/"no", "true"/"false", "on"/"off", "1"/"0", any case.
std::optional<bool> ParseYesNo(std::string_view text);
// Every byte below 0x20, 0x7F and above shown as {XX} (two upper-case hex digits).
std::string ShowControlCharacters(std::string_view bytes);
bool HasControlCharacters(std::string_view text);

}  // namespace morvik::sim
