#pragma once
// The main window's status bar: five panels side by side (port, connection,
// link state, error text, busy counter) showing the link's status model.

#include <QStatusBar>

#include <array>

#include "channel/status_bar.h"

class QLabel;

namespace morvik::app {

class StatusPanels : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusPanels(channel::StatusBar& model, QWidget* parent = nullptr);

    QLabel* Panel(int index) const { return panels_[index]; }

private:
    std::array<QLabel*, 5> panels_{};
};

}  // namespace morvik::app
