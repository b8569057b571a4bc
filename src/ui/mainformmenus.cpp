// SPDX-License-Identifier: MIT
// The menu bar of the main window.

#include "hexfile/fileselect.h"
#include "port/startup.h"
#include "shared/context.h"
#include "ui/mainform.h"
#include "ui/uitexts.h"

#include <QMenuBar>

namespace quill {

namespace {

QAction* item(QMenu* menu, const char* name, const char* caption, QKeySequence shortcut = {}) {
    QAction* action = menu->addAction(qtext(caption));
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    return action;
}

QMenu* topMenu(QMenuBar* bar, const char* name, const char* caption) {
    QMenu* menu = bar->addMenu(qtext(caption));
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QMenu* submenu(QMenu* parent, const char* name, const char* caption) {
    QMenu* menu = parent->addMenu(qtext(caption));
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

} // namespace

void MainForm::createMenus() {
    QMenu* mnuFile = topMenu(menuBar(), "mnuFile", text::MenuFile);
    QAction* mnuFileOpen = item(mnuFile, "mnuFileOpen", text::MenuFileOpen, Qt::CTRL | Qt::Key_O);
    connect(mnuFileOpen, &QAction::triggered, this, [this] {
        Context c = context();
        mnuFileOpen_Click(c, CommonDialog1);
    });
    QAction* mnuFileHistory =
        item(mnuFile, "mnuFileHistory", text::MenuFileHistory, Qt::CTRL | Qt::Key_H);
    connect(mnuFileHistory, &QAction::triggered, this, [this] { mnuFileHistory_Click(); });
    QAction* mnuFileStation = item(mnuFile, "mnuFileStation", text::MenuFileStation);
    connect(mnuFileStation, &QAction::triggered, this, [this] { showStation(); });
    mnuFile->addSeparator();
    // Exactly like closing the window by its frame.
    QAction* mnuFileExit = item(mnuFile, "mnuFileExit", text::MenuFileExit);
    connect(mnuFileExit, &QAction::triggered, this, &QWidget::close);

    QMenu* mnuPort = topMenu(menuBar(), "mnuPort", text::MenuPort);
    QAction* mnuComSetup = item(mnuPort, "mnuComSetup", text::MenuComSetup, Qt::CTRL | Qt::Key_S);
    connect(mnuComSetup, &QAction::triggered, this, [this] { showComSetup(nullptr); });
    QAction* mnuDevices = item(mnuPort, "mnuDevices", text::MenuDevices);
    connect(mnuDevices, &QAction::triggered, this, [this] { showDevices(); });

    QMenu* mnuOptions = topMenu(menuBar(), "mnuOptions", text::MenuOptions);
    QMenu* mnuDevice = submenu(mnuOptions, "mnuDevice", text::MenuDevice);
    // The check marks are set_device's: Qt's own toggling is overridden by it.
    mnuDeviceDefault = item(mnuDevice, "mnuDeviceDefault", text::MenuDeviceManual);
    mnuDeviceDefault->setCheckable(true);
    connect(mnuDeviceDefault, &QAction::triggered, this,
            [this] { set_device(m_w.m, *this, device_manual); });
    mnuDeviceTracker = item(mnuDevice, "mnuDeviceTracker", text::MenuDeviceTracker);
    mnuDeviceTracker->setCheckable(true);
    connect(mnuDeviceTracker, &QAction::triggered, this,
            [this] { set_device(m_w.m, *this, device_tracker); });
    QAction* mnuSerial = item(mnuOptions, "mnuSerial", text::MenuSerial);
    connect(mnuSerial, &QAction::triggered, this, [this] { showSerialNumber(); });

    QMenu* mnuHelp = topMenu(menuBar(), "mnuHelp", text::MenuHelp);
    QAction* mnuAbout = item(mnuHelp, "mnuAbout", text::MenuAbout, Qt::CTRL | Qt::Key_A);
    connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });
}

} // namespace quill
