#pragma once
// The "Select Port" dialog: shown when the serial port to open is number 0,
// it lists the present serial ports and lets the user pick one, type the path
// of another device (a pseudo-terminal, a /dev/serial/by-id name), or cancel.

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

    // The port number of the selected entry, or of a typed device path, which
    // devices binds to a free number; nothing when there is neither.
    std::optional<int> ChosenPort(platform::SerialDeviceMap& devices) const;

    QComboBox* cbPorts = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
};

// The port component's chooser, answered with the dialog above.
class ComSelectChooser : public comm::PortChooser {
public:
    explicit ComSelectChooser(platform::SerialDeviceMap& devices, QWidget* owner = nullptr)
        : devices_(devices), owner_(owner) {}
    std::optional<int> ChoosePort(const std::vector<platform::PresentPort>& ports) override;

private:
    platform::SerialDeviceMap& devices_;
    QWidget* owner_;
};

}  // namespace morvik::app
