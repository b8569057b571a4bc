// SPDX-License-Identifier: MIT
#pragma once
// The menus of the windows, made alike: each menu and item has an object
// name, its caption from uitexts.h and, for an item, its shortcut.

#include "ui/uitexts.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace quill {

inline QAction* menuItem(QMenu* menu, const char* name, const char* caption,
                         QKeySequence shortcut = {}) {
    QAction* action = menu->addAction(qtext(caption));
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    return action;
}

inline QMenu* topMenu(QMenuBar* bar, const char* name, const char* caption) {
    QMenu* menu = bar->addMenu(qtext(caption));
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

inline QMenu* submenu(QMenu* parent, const char* name, const char* caption) {
    QMenu* menu = parent->addMenu(qtext(caption));
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

} // namespace quill
