#pragma once
// The dialogs and messages the logic opens. The program shows real ones;
// tests answer from a script.

#include <string>

namespace morvik::features {

class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    // An error that ends a command, shown with its text; the program carries on.
    virtual void ShowError(const std::string& text) = 0;
};

}  // namespace morvik::features
