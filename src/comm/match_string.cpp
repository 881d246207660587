#include "comm/match_string.h"

namespace morvik::comm {

MatchString::MatchString(std::string_view pattern, bool ignoreCase) : ignoreCase_(ignoreCase) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        bool wild = false;
        if (c == '\\' && i + 1 < pattern.size()) {
            c = pattern[++i];  // escaped: literal, also '?' and '\'
        } else if (c == '?') {
            wild = true;
        }
        if (ignoreCase_) c = static_cast<char>(Fold(static_cast<std::uint8_t>(c)));
        chars_.push_back(c);
        wildcard_.push_back(wild ? 1 : 0);
    }
    if (!chars_.empty() && wildcard_[0] == 0) {
        const auto first = static_cast<std::uint8_t>(chars_[0]);
        // Folded letters match two bytes; memchr can only look for one.
        literalFirst_ = !(ignoreCase_ && first >= 'A' && first <= 'Z');
    }
}

}  // namespace morvik::comm
