#include "platform/argument_cursor.h"

namespace morvik::platform {

bool ArgumentCursor::Next() {
    if (started_) ++index_;
    started_ = true;
    if (index_ >= args_.size()) return false;
    option_ = args_[index_];
    inlineValue_.reset();
    if (const std::size_t equals = option_.find('='); option_.starts_with("--") && equals != std::string::npos) {
        inlineValue_ = option_.substr(equals + 1);
        option_.resize(equals);
    }
    return true;
}

bool ArgumentCursor::ValueFollows() const {
    return inlineValue_ || (index_ + 1 < args_.size() && !args_[index_ + 1].starts_with("-"));
}

std::optional<std::string> ArgumentCursor::Value() {
    if (inlineValue_) return inlineValue_;
    if (index_ + 1 < args_.size()) return args_[++index_];
    return std::nullopt;
}

}  // namespace morvik::platform
