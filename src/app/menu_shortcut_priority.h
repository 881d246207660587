#pragma once
// Lets the main window's menu shortcuts act wherever the focus is in the
// window. Text fields otherwise take Ctrl+C, Ctrl+Z or Ctrl+A for copy, undo
// and select all, so the menu item never sees them; the fields keep those in
// their context menus. A shortcut whose item is disabled stays the field's.

#include <QObject>

class QKeySequence;
class QMainWindow;

namespace morvik::app {

class MenuShortcutPriority : public QObject {
public:
    // Watches the application's key events on behalf of window, for as long as window lives.
    explicit MenuShortcutPriority(QMainWindow* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool IsEnabledMenuShortcut(const QKeySequence& keys) const;

    QMainWindow* window_;
};

}  // namespace morvik::app
