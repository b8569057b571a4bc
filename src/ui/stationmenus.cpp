// SPDX-License-Identifier: MIT
// The menu bar of the station window: what the main window offers for the
// station's work, so that `quill --station` is a program of its own. The
// history, the serial numbers and the About box are the main window's
// own, asked for by signals; the firmware is the station's choice.

#include "lock/locktexts.h"
#include "ui/frmstation.h"
#include "ui/frmstationsettings.h"
#include "ui/menuitems.h"
#include "ui/stationchoice.h"

#include <QLayout>

namespace quill {

void frmStation::createMenus() {
    auto* bar = new QMenuBar(this);
    layout()->setMenuBar(bar);

    QMenu* mnuFile = topMenu(bar, "mnuFile", text::MenuFile);
    mnuFileOpen = menuItem(mnuFile, "mnuFileOpen", text::StationMenuOpen, Qt::CTRL | Qt::Key_O);
    connect(mnuFileOpen, &QAction::triggered, m_choice, &StationChoice::chooseFile);
    QAction* mnuFileHistory =
        menuItem(mnuFile, "mnuFileHistory", text::MenuFileHistory, Qt::CTRL | Qt::Key_H);
    connect(mnuFileHistory, &QAction::triggered, this, &frmStation::historyAsked);
    mnuFile->addSeparator();
    // Exactly like closing the window by its frame, the question included.
    QAction* mnuFileQuit =
        menuItem(mnuFile, "mnuFileQuit", text::StationMenuQuit, Qt::CTRL | Qt::Key_Q);
    connect(mnuFileQuit, &QAction::triggered, this, &QWidget::close);

    QMenu* mnuOptions = topMenu(bar, "mnuOptions", text::MenuOptions);
    QAction* mnuSerial = menuItem(mnuOptions, "mnuSerial", text::MenuSerial);
    connect(mnuSerial, &QAction::triggered, this, &frmStation::serialNumberAsked);
    QAction* mnuStationSettings =
        menuItem(mnuOptions, "mnuStationSettings", text::MenuStationSettings);
    connect(mnuStationSettings, &QAction::triggered, this, &frmStation::showSettings);
    QAction* mnuUnlock = menuItem(mnuOptions, "mnuUnlock", lock::text::MenuUnlock);
    connect(mnuUnlock, &QAction::triggered, this, &frmStation::unlockAsked);

    QMenu* mnuHelp = topMenu(bar, "mnuHelp", text::MenuHelp);
    QAction* mnuAbout = menuItem(mnuHelp, "mnuAbout", text::MenuAbout);
    connect(mnuAbout, &QAction::triggered, this, &frmStation::aboutAsked);
}

} // namespace quill

namespace quill {

// The idle limit holds from the next round; new names show on the tiles,
// made anew from the ports text.
void frmStation::showSettings() {
    if (running()) {
        return;
    }
    frmStationSettings dialog(*m_choice, this);
    dialog.exec();
    activateWindow();
}

} // namespace quill
