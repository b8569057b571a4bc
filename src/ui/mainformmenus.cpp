// SPDX-License-Identifier: MIT
// The menu bar of the main window, and the lock it shows and unlocks.

#include "hexfile/fileselect.h"
#include "lock/locktexts.h"
#include "port/startup.h"
#include "shared/context.h"
#include "ui/frmstation.h"
#include "ui/frmunlock.h"
#include "ui/mainform.h"
#include "ui/menuitems.h"

#include <chrono>

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
    QAction* mnuUnlock = menuItem(mnuOptions, "mnuUnlock", lock::text::MenuUnlock);
    connect(mnuUnlock, &QAction::triggered, this, [this] { showUnlock(); });

    QMenu* mnuHelp = topMenu(menuBar(), "mnuHelp", text::MenuHelp);
    QAction* mnuAbout = menuItem(mnuHelp, "mnuAbout", text::MenuAbout, Qt::CTRL | Qt::Key_A);
    connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });
}

void MainForm::showUnlock(QWidget* owner) {
    frmUnlock dialog(
        m_lock,
        [] {
            using namespace std::chrono;
            return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        },
        owner != nullptr ? owner : this);
    dialog.exec();
    showLocked();
}

void MainForm::showLocked() {
    const char* state = !m_lock.state().locked    ? ""
                        : m_lock.state().unlocked ? lock::text::UnlockedTitle
                                                  : lock::text::LockedTitle;
    setWindowTitle(qtext(text::AppTitle) + qtext(state));
    if (m_station) {
        m_station->setWindowTitle(qtext(text::StationCaption) + qtext(state));
    }
}

} // namespace quill
