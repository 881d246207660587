#include "app/qt_dialogs.h"

#include <QCheckBox>
#include <QMessageBox>

#include "app/port_directory_dialog.h"

namespace morvik::app {

void QtUserDialogs::ShowError(const std::string& text) {
    QMessageBox::critical(owner_, QStringLiteral("Morvik II"), QString::fromStdString(text));
}

std::optional<session::PortChoice> QtPortDialog::Choose(const std::string& currentEntry, const std::string& folder,
                                               bool highSpeed) {
    app::TdlgWinSocket dialog(owner_, currentEntry, folder);
    dialog.cbHighSpeed->setChecked(highSpeed);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const portdir::PortEntry& chosen = dialog.Directory().Selected();
    return session::PortChoice{chosen.address, chosen.ipPort, dialog.cbHighSpeed->isChecked()};
}

}  // namespace morvik::app
