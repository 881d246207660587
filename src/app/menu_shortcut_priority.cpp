#include "app/menu_shortcut_priority.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace morvik::app {

MenuShortcutPriority::MenuShortcutPriority(QMainWindow* window) : QObject(window), window_(window) {
    qApp->installEventFilter(this);
}

bool MenuShortcutPriority::eventFilter(QObject* watched, QEvent* event) {
    // Before a key press becomes a shortcut, the focused control is asked
    // whether it wants the key itself; a field says yes to its editing keys.
    // Leaving that question unanswered hands the key to the menu.
    if (event->type() != QEvent::ShortcutOverride) return false;
    const auto* widget = qobject_cast<const QWidget*>(watched);
    if (widget == nullptr || widget->window() != window_) return false;
    if (!IsEnabledMenuShortcut(QKeySequence(static_cast<QKeyEvent*>(event)->keyCombination()))) return false;
    event->ignore();
    return true;
}

bool MenuShortcutPriority::IsEnabledMenuShortcut(const QKeySequence& keys) const {
    for (const QAction* menu : window_->menuBar()->actions()) {
        if (menu->menu() == nullptr) continue;
        for (const QAction* item : menu->menu()->actions()) {
            if (item->shortcut() == keys) return item->isEnabled();
        }
    }
    return false;
}

}  // namespace morvik::app
