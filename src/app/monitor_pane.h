#pragma once
// The monitor at the top right of the main window: the label "Monitor" while
// it is hidden, the logged command traffic and a command line for typed
// commands while it is shown. It renders the link's monitor model.

#include <QWidget>

#include <functional>
#include <string>

#include "channel/monitor.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QStackedLayout;

namespace morvik::app {

class MonitorPane : public QWidget {
    Q_OBJECT
public:
    // sendTyped gets what the user typed and confirmed with Enter;
    // saveTraffic runs the traffic's "Save Traffic ..." item.
    MonitorPane(channel::Monitor& monitor, std::function<void(const std::string&)> sendTyped,
                std::function<void()> saveTraffic, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QPlainTextEdit* Term = nullptr;
    QLineEdit* commandLine = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowMonitor(bool shown);

    channel::Monitor& monitor_;
    std::function<void(const std::string&)> sendTyped_;
    std::function<void()> saveTraffic_;
    QStackedLayout* layers_ = nullptr;
    QWidget* shownMonitor_ = nullptr;
};

}  // namespace morvik::app
