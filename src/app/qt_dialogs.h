#pragma once
// The dialogs the logic opens, shown for real: error messages in a message
// box, and the port directory dialog for the Port command.

#include <QPointer>
#include <QWidget>

#include "app/connection_control.h"
#include "link/user_dialogs.h"

namespace morvik::app {

class QtUserDialogs : public link::UserDialogs {
public:
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void ShowError(const std::string& text) override;

private:
    QPointer<QWidget> owner_;
};

class QtPortDialog : public PortDialog {
public:
    void SetOwner(QWidget* owner) { owner_ = owner; }
    std::optional<PortChoice> Choose(const std::string& currentEntry, const std::string& folder,
                                     bool highSpeed) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace morvik::app
