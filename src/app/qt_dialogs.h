#pragma once
// The dialogs the logic opens, shown for real: error messages in a message
// box, and the port directory dialog for the Port command.

#include <QPointer>
#include <QWidget>

#include "session/connection_control.h"
#include "features/user_interaction.h"

namespace morvik::app {

class QtUserDialogs : public features::UserDialogs {
public:
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void ShowError(const std::string& text) override;

private:
    QPointer<QWidget> owner_;
};

class QtPortDialog : public session::PortDialog {
public:
    void SetOwner(QWidget* owner) { owner_ = owner; }
    std::optional<session::PortChoice> Choose(const std::string& currentEntry, const std::string& folder,
                                     bool highSpeed) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace morvik::app
