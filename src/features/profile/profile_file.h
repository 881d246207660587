#pragma once
// The profile file: one line "key=value" per row of the profile list, in row
// order, each ending in CR LF.

#include <array>
#include <string>
#include <variant>

#include "features/profile/profile_list.h"

namespace morvik::profile {

using ProfileValues = std::array<std::string, kProfileRows>;

std::string FormatProfileFile(const ProfileList& list);

// The values of a profile file by key, or why the file was refused: every one
// of the 31 keys exactly once and nothing else. Empty lines are skipped.
std::variant<ProfileValues, std::string> ParseProfileFile(const std::string& text);

}  // namespace morvik::profile
