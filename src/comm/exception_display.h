#pragma once
// The application's display for exceptions that a handler raised where the
// communication layer must carry on (a packet handler called from the
// dispatcher). The program installs its message box; until then the message
// goes to standard error.

#include <exception>
#include <functional>

namespace morvik::comm {

using ExceptionDisplay = std::function<void(const std::exception_ptr& error)>;

// Installs the display; an empty one restores the standard-error default.
void SetExceptionDisplay(ExceptionDisplay display);
// Shows error through the installed display. Never throws.
void ShowException(const std::exception_ptr& error);

}  // namespace morvik::comm
