// SPDX-License-Identifier: MIT
#pragma once
// The station window frmStation, for the operator who flashes unit after
// unit on a line: one tile per port, filling the window, a header with the
// firmware (its SHA-256), the line, the batch, the round and the units
// since the window opened with their first-pass and final yield, and one
// key for each step of a round: Start (F5) puts a new unit on every port
// and downloads to all at once, Retry failed (F6) downloads again to the
// ports whose unit failed or was stopped, the same units, held to the same
// firmware, Stop (Esc) stops every device. Closing the window while a
// round runs asks first. A round is the run quill-cli makes on several
// ports (stationrun.h), each device a row of the history.
//
// The screen tells the truth between rounds too: each port is checked when
// it is entered, after each round and while the window waits (missing,
// held by another program, not allowed), a device that has taken no record
// for a while says so, and a round that a killed process left unfinished
// is named when the window opens. Modeless, one at a time, deleted when it
// is closed.
//
// A work order scanned into the field at the top (stationorder.h) runs
// its recipe instead of the chosen file and settings, each unit a place in
// the order, and the header follows the order across the line.

#include "lock/windowlock.h"
#include "platform/settingsstore.h"
#include "qt/handover.h"
#include "run/runrequest.h"
#include "shared/report.h"
#include "ui/qtmessageboxes.h"
#include "ui/stationunits.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QAction;
class QPushButton;
class QThreadPool;
class QTimer;

namespace quill {

class StationChoice;
class StationGrid;
class StationHeader;
class StationLabel;
class StationOrder;
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
    const StationUnits& units() const { return m_units; }
    // What the last round was asked to do: its ports, and the units a retry
    // goes on with.
    const RunRequest& lastRequest() const { return m_lastRequest; }
    // What the station's lock lets run: every round asks it first.
    void setLock(const WindowLock* lock) { m_lock = lock; }

  signals:
    // The menus' History..., Serial number... and About, which the main
    // window shows.
    void historyAsked();
    void serialNumberAsked();
    void aboutAsked();
    void unlockAsked(); // Options, "Unlock..."

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // The round's questions, in the window's boxes; the window has the keys
    // again once a box has closed (a box of no window's may leave them
    // nowhere), so that Esc stops the round the prompt began.
    MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                     MsgResult defaultButton) override;
    void createControls();
    void createMenus(); // stationmenus.cpp
    void showSettings();
    void cmdStart_Click();
    void cmdRetry_Click();
    void cmdStop_Click();
    // Del: the device of the focused tile stops alone.
    void stopFocused();
    void startRound(RunRequest request);
    void devicesStarting(const RunReport& planned);
    void roundFinished(const RunReport& run);
    void deviceChanged(size_t index, bool ended, const DeviceReport& device);
    void makeTiles();
    void readFile();
    // frmstationorder.cpp: what a round runs, the chosen file or the order.
    RunRequest chosenRequest() const;
    void orderChanged();
    void showHeader();
    void showProgress();
    void showButtons();
    size_t devicesFlashed() const;
    void say(const std::string& text, bool problem);
    // stationwatch.cpp: what the window finds out on its own.
    void findAdapters();
    void checkPorts(bool open);
    void checkBeforeRound();
    void tick();
    void findInterrupted();
    int64_t nowMs() const { return m_steady.elapsed(); }

    SettingsStore& m_store;
    const WindowLock* m_lock = nullptr;
    QtMessageBoxes m_boxes;
    std::unique_ptr<StationRun> m_run;
    RunReport m_lastRound;
    RunRequest m_lastRequest;
    std::unique_ptr<QThreadPool> m_readers; // the file, the adapters, the history, off this thread
    std::unique_ptr<QThreadPool> m_checks;  // the ports, which a round waits for
    Inbox* m_inbox;                         // ... and their answers, back on it
    StationUnits m_units;
    QElapsedTimer m_steady;
    QTimer* m_clock;
    QTimer* m_entered; // the ports text has stopped changing
    int m_ticks = 0;
    std::vector<StationTile*> m_tiles; // one per port, in the order named
    std::vector<size_t> m_tileOf;      // the tile of each device of the round
    bool m_roundStarted = false;       // its devices got going
    bool m_retrying = false;           // the round is Retry failed's
    bool m_closing = false;
    bool m_fitted = false;   // to its screen, when first shown            // stopped to close: the
                             // window goes at the round's end
    FileIdentity m_identity; // of the file chosen, as last read
    std::string m_heldTo;    // the SHA-256 of the last round whose devices started
    unsigned m_fileAsked = 0;
    unsigned m_serialAsked = 0; // the next serial number, looked up anew

    StationOrder* m_order;
    StationChoice* m_choice;
    StationHeader* m_header;
    StationLabel* lblNotice; // a round a killed process left
    StationLabel* lblSaid;
    StationGrid* m_grid;
    QPushButton* cmdStart;
    QPushButton* cmdRetry;
    QPushButton* cmdStop;
    QAction* mnuFileOpen;
};

} // namespace quill
