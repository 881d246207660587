#pragma once
// The "Select Port" dialog: shown when the serial port to open is number 0,
// it lists the present serial ports and lets the user pick one or cancel.

#include <QDialog>

#include <optional>
#include <vector>

#include "comm/serial_port_chooser.h"

class QComboBox;
class QPushButton;

namespace morvik::app {

class TComSelectForm : public QDialog {
    Q_OBJECT
public:
    TComSelectForm(const std::vector<platform::PresentPort>& ports, QWidget* owner = nullptr);

    // The port number of the selected entry; nothing when the list is empty.
    std::optional<int> ChosenPort() const;

    QComboBox* cbPorts = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};

// The port component's chooser, answered with the dialog above.
class ComSelectChooser : public comm::PortChooser {
public:
    explicit ComSelectChooser(QWidget* owner = nullptr) : owner_(owner) {}
    std::optional<int> ChoosePort(const std::vector<platform::PresentPort>& ports) override;

private:
    QWidget* owner_;
};

}  // namespace morvik::app
