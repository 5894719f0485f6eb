// Menus added to the main window's bar by its tools.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace zindra::app {

// A new menu of the window's bar, before its menu-bar items that act at
// once (Replay, Hilfe) so that those stay at the end.
inline QMenu& addToolMenu(QMainWindow& window, const QString& title, const char* name) {
    QMenuBar* bar = window.menuBar();
    auto* menu = new QMenu(title, bar);
    menu->setObjectName(QString::fromLatin1(name));
    QAction* before = window.findChild<QAction*>(QStringLiteral("Replay1"));
    bar->insertMenu(before != nullptr && bar->actions().contains(before) ? before : nullptr, menu);
    return *menu;
}

}  // namespace zindra::app
