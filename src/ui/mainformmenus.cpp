// SPDX-License-Identifier: MIT
// The menu bar of the main window.

#include "hexfile/fileselect.h"
#include "port/startup.h"
#include "shared/context.h"
#include "ui/mainform.h"
#include "ui/menuitems.h"

namespace quill {

void MainForm::createMenus() {
    QMenu* mnuFile = topMenu(menuBar(), "mnuFile", text::MenuFile);
    QAction* mnuFileOpen =
        menuItem(mnuFile, "mnuFileOpen", text::MenuFileOpen, Qt::CTRL | Qt::Key_O);
    connect(mnuFileOpen, &QAction::triggered, this, [this] {
        Context c = context();
        mnuFileOpen_Click(c, CommonDialog1);
    });
    QAction* mnuFileHistory =
        menuItem(mnuFile, "mnuFileHistory", text::MenuFileHistory, Qt::CTRL | Qt::Key_H);
    connect(mnuFileHistory, &QAction::triggered, this, [this] { mnuFileHistory_Click(); });
    QAction* mnuFileStation = menuItem(mnuFile, "mnuFileStation", text::MenuFileStation);
    connect(mnuFileStation, &QAction::triggered, this, [this] { showStation(); });
    mnuFile->addSeparator();
    // Exactly like closing the window by its frame.
    QAction* mnuFileExit = menuItem(mnuFile, "mnuFileExit", text::MenuFileExit);
    connect(mnuFileExit, &QAction::triggered, this, &QWidget::close);

    QMenu* mnuPort = topMenu(menuBar(), "mnuPort", text::MenuPort);
    QAction* mnuComSetup =
        menuItem(mnuPort, "mnuComSetup", text::MenuComSetup, Qt::CTRL | Qt::Key_S);
    connect(mnuComSetup, &QAction::triggered, this, [this] { showComSetup(nullptr); });
    QAction* mnuDevices = menuItem(mnuPort, "mnuDevices", text::MenuDevices);
    connect(mnuDevices, &QAction::triggered, this, [this] { showDevices(); });

    QMenu* mnuOptions = topMenu(menuBar(), "mnuOptions", text::MenuOptions);
    QMenu* mnuDevice = submenu(mnuOptions, "mnuDevice", text::MenuDevice);
    // The check marks are set_device's: Qt's own toggling is overridden by it.
    mnuDeviceDefault = menuItem(mnuDevice, "mnuDeviceDefault", text::MenuDeviceManual);
    mnuDeviceDefault->setCheckable(true);
    connect(mnuDeviceDefault, &QAction::triggered, this,
            [this] { set_device(m_w.m, *this, device_manual); });
    mnuDeviceTracker = menuItem(mnuDevice, "mnuDeviceTracker", text::MenuDeviceTracker);
    mnuDeviceTracker->setCheckable(true);
    connect(mnuDeviceTracker, &QAction::triggered, this,
            [this] { set_device(m_w.m, *this, device_tracker); });
    QAction* mnuSerial = menuItem(mnuOptions, "mnuSerial", text::MenuSerial);
    connect(mnuSerial, &QAction::triggered, this, [this] { showSerialNumber(); });

    QMenu* mnuHelp = topMenu(menuBar(), "mnuHelp", text::MenuHelp);
    QAction* mnuAbout = menuItem(mnuHelp, "mnuAbout", text::MenuAbout, Qt::CTRL | Qt::Key_A);
    connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });
}

} // namespace quill
