#pragma once
// The dialogs the logic opens, answered from a script and recorded.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "session/connection_control.h"
#include "features/user_interaction.h"

namespace morvik::session {

struct ScriptedPortDialog : PortDialog {
    struct Call {
        std::string currentEntry;
        std::string folder;
        bool highSpeed;
    };
    // An unscripted call answers Cancel.
    std::optional<PortChoice> Choose(const std::string& currentEntry, const std::string& folder,
                                     bool highSpeed) override {
        calls.push_back({currentEntry, folder, highSpeed});
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<std::optional<PortChoice>> answers;
    std::vector<Call> calls;
};

struct RecordingDialogs : features::UserDialogs {
    void ShowError(const std::string& text) override { errors.push_back(text); }
    std::vector<std::string> errors;
};

}  // namespace morvik::session
