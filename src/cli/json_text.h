#pragma once
// JSON string literals for the reports: quotes, backslashes and control
// characters escaped, everything else (UTF-8 included) passed through.

#include <string>
#include <string_view>

namespace morvik::cli {

std::string JsonString(std::string_view text);

}  // namespace morvik::cli
