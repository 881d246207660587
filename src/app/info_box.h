#pragma once
// The about box "Info": the program's name, version, legal notice, web address
// and trademark line, all taken from the version record when the box is made.
// A right click on the version reveals the programming info over the panel.

#include <QDialog>

#include "platform/version_record.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace morvik::app {

class TInfoBox : public QDialog {
    Q_OBJECT
public:
    explicit TInfoBox(QWidget* parent, const platform::VersionRecord& record = platform::ProgramVersionRecord());

    QFrame* Panel = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* lbProductName = nullptr;
    QLabel* lbVersion = nullptr;
    QLabel* lbCopyright = nullptr;
    QLabel* lbComments = nullptr;
    QLabel* lbTrademark = nullptr;
    QPlainTextEdit* VersionsInfo = nullptr;
    QPushButton* OKButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate(const platform::VersionRecord& record);
    void FormShow();
    void lbVersionMouseDown(Qt::MouseButton button);
    void lbCommentsClick();
};

}  // namespace morvik::app
