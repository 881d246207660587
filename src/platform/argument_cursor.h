#pragma once
// Walks a program's command line one word at a time. An option's value is
// written as "--name=value" or as the word after the option.

#include <optional>
#include <string>
#include <vector>

namespace morvik::platform {

class ArgumentCursor {
public:
    explicit ArgumentCursor(const std::vector<std::string>& args) : args_(args) {}

    // Moves to the next word; false when none is left.
    bool Next();
    // The word without its "=value" part.
    const std::string& Option() const { return option_; }
    // The word as it was written.
    const std::string& Word() const { return args_[index_]; }
    bool HasInlineValue() const { return inlineValue_.has_value(); }
    // True when a value follows: written inline, or a next word that is not an option.
    bool ValueFollows() const;
    // The option's value: the inline one, or the next word, which is then used up.
    std::optional<std::string> Value();

private:
    const std::vector<std::string>& args_;
    std::size_t index_ = 0;
    bool started_ = false;
    std::string option_;
    std::optional<std::string> inlineValue_;
};

}  // namespace morvik::platform
