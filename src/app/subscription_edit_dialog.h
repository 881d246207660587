#pragma once
// The subscription edit dialog "Subscript": one row of the subscription
// table, its partner's dotted identity, serial number and comment. The
// identity field refuses, with a beep, every typed character that would not
// leave a dotted identity or the beginning of one.

#include <QDialog>

#include "features/user_interaction.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace morvik::app {

class Tfm_Subscript : public QDialog {
    Q_OBJECT
public:
    // The UAK preset: sixteen zero bytes, two digits each, blank-separated.
    static const QString kUakPreset;
    static constexpr int kUakLength = 47;

    Tfm_Subscript(QWidget* owner, const features::SubscriptionEdit& fields, features::UserInteraction& user);

    // The fields as the user left them.
    features::SubscriptionEdit Fields() const;

    QLineEdit* edIP = nullptr;
    QLineEdit* edUAK = nullptr;  // hidden; nothing reads it yet
    QLineEdit* edDeviceSN = nullptr;
    QLineEdit* edComment = nullptr;
    QPushButton* BitBtn1 = nullptr;  // Cancel
    QPushButton* btnOK = nullptr;
    QLabel* lbIdentityHint = nullptr;  // shown when OK meets an incomplete identity

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when the typed character is to be discarded (after a beep).
    bool edIPKeyPress(QChar key);
    bool edUAKKeyPress(QChar key);
    void btnOKClick();

    features::SubscriptionEdit fields_;
    features::UserInteraction& user_;
};

}  // namespace morvik::app
