// SPDX-License-Identifier: MIT
#pragma once
// The station window frmStation, for the operator who flashes unit after
// unit on a line: one tile per port, a header with the firmware (its
// SHA-256), the line, the batch and the units complete and failed since the
// window opened with their yield, and one key for each step of a round:
// Start (F5) downloads to every port at once, Retry failed (F6) downloads
// again to the ports that failed or were stopped, held to the same
// firmware, Stop (Esc) stops every device. Closing the window while a
// round runs asks first. A round is the run quill-cli makes on
// several ports (stationrun.h), each device a row of the history.
// Modeless, one at a time, deleted when it is closed.

#include "platform/settingsstore.h"
#include "qt/handover.h"
#include "run/runrequest.h"
#include "shared/report.h"
#include "ui/qtmessageboxes.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QGridLayout;
class QAction;
class QLabel;
class QPushButton;
class QThreadPool;

namespace quill {

class StationChoice;
class StationHeader;
class StationRun;
class StationTile;

class frmStation final : public QWidget, private MessageBoxes {
    Q_OBJECT

  public:
    // `store` holds [Station] and what a run reads; `given` is what a
    // command line chose (its ports, baud rate, device, file, batch), over
    // what is stored.
    frmStation(SettingsStore& store, const RunRequest& given);
    ~frmStation() override;

    bool running() const { return m_run != nullptr; }
    // The report of the last round that ended.
    const RunReport& lastRound() const { return m_lastRound; }

  signals:
    // The menus' History..., Serial number... and About, which the main
    // window shows.
    void historyAsked();
    void serialNumberAsked();
    void aboutAsked();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // The round's questions, in the window's boxes; the window has the keys
    // again once a box has closed (a box of no window's may leave them
    // nowhere), so that Esc stops the round the prompt began.
    MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                     MsgResult defaultButton) override;
    void createControls();
    void createMenus(); // stationmenus.cpp
    void cmdStart_Click();
    void cmdRetry_Click();
    void cmdStop_Click();
    void startRound(RunRequest request);
    void roundFinished(const RunReport& run);
    void deviceChanged(size_t index, bool ended, const DeviceReport& device);
    void makeTiles();
    void findAdapters();
    void readFile();
    void showHeader();
    void showButtons();
    size_t devicesFlashed() const;
    void say(const std::string& text, bool problem);

    SettingsStore& m_store;
    QtMessageBoxes m_boxes;
    std::unique_ptr<StationRun> m_run;
    RunReport m_lastRound;
    std::unique_ptr<QThreadPool> m_readers; // the file and the adapters, off this thread
    Inbox* m_inbox;                         // ... and their answers, back on it
    std::vector<StationTile*> m_tiles;      // one per port, in the order named
    std::vector<size_t> m_tileOf;           // the tile of each device of the round
    bool m_roundStarted = false;            // its devices got going
    bool m_retrying = false;                // the round is Retry failed's
    bool m_closing = false;                 // stopped to close: the window goes at the round's end
    FileIdentity m_identity;                // of the file chosen, as last read
    std::string m_heldTo;                   // the SHA-256 of the last round whose devices started
    unsigned m_fileAsked = 0;

    StationChoice* m_choice;
    StationHeader* m_header;
    QLabel* lblSaid;
    QGridLayout* m_grid;
    QPushButton* cmdStart;
    QPushButton* cmdRetry;
    QPushButton* cmdStop;
    QAction* mnuFileOpen;
};

} // namespace quill
