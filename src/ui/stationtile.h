// SPDX-License-Identifier: MIT
#pragma once
// One port of the station window, as a tile an operator reads from across
// the bench: the slot's name large when it has one, the port as named (and
// the adapter behind it, when the system knows it), whether the port is
// there and free, the phase, the records sent of the file's, the unit's
// serial number once one is drawn, the round it was last part of, and at
// the end a sign, a word and a colour for complete, failed or stopped. A
// failed tile says what to do in one sentence, the device's last message
// on hover. A device that has taken no record for a while says so, amber,
// with the seconds. Its text grows with the tile. It shows a device's
// report as the run keeps it; it keeps nothing of the download's own.

#include "shared/report.h"
#include "ui/stationlabel.h"
#include "ui/stationports.h"

#include <QFrame>

#include <optional>
#include <string>

class QProgressBar;

namespace quill {

class StationTile final : public QFrame {
    Q_OBJECT

  public:
    // Stopped: ended by Stop (Esc), neither complete nor failed.
    enum class State { Idle, Waiting, Running, Complete, Failed, Stopped };
    static State stateOf(const DeviceReport& device);
    // A device still running that has taken no record for this long says so.
    static constexpr int64_t stalledMs = 5000;

    StationTile(const PortEntry& entry, QWidget* parent);

    // The adapter's description; empty: none known.
    void setAdapter(const std::string& description);
    void setPortCheck(const PortCheck& check);
    // Waiting for a round, with a word for why (empty: ready).
    void setIdle(const std::string& message = {});
    // Its part in round `round`, before the devices start.
    void setWaiting(int round);
    // Not part of the round that runs: shown faint, as it was.
    void setDimmed(bool dimmed);
    // Keeps what it shows now, and shows it again: a round cancelled
    // before its devices started leaves the tiles as they were.
    void keep();
    void restore();
    // The device as its report stands, at `nowMs` (a steady clock's).
    void showReport(const DeviceReport& device, int64_t nowMs = 0);
    // The time is now `nowMs`: a device silent since its last record says so.
    void tick(int64_t nowMs);

    State state() const { return m_state; }
    // A unit that Retry failed flashes again: it failed, or it was stopped.
    bool unfinished() const { return m_state == State::Failed || m_state == State::Stopped; }
    bool stalled() const { return m_stalled; }
    const PortCheck& portCheck() const { return m_check; }
    // The background of each state, for a tile of this window's palette.
    static QColor background(State state, bool stalled, const QPalette& window);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    // Focused (a click, Tab): a thicker frame; Del then stops its device.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void setState(State state);
    void showState(const char* word);
    void scaleText();

    // What it shows, as given to it.
    struct View {
        std::optional<DeviceReport> report; // none: waiting, with `idle` said
        std::string idle;
        QString round;
        bool dimmed = false;
    };
    void showView(const View& view);

    State m_state = State::Idle;
    View m_view;
    View m_kept;
    PortCheck m_check;
    int64_t m_records = -1;   // sent, as last shown
    int64_t m_recordAtMs = 0; // ... since then
    bool m_stalled = false;
    StationLabel* lblSlot;
    StationLabel* lblPort;
    StationLabel* lblAdapter;
    StationLabel* lblCheck;
    StationLabel* lblState;
    StationLabel* lblPhase;
    QProgressBar* prbRecords;
    StationLabel* lblSerial;
    StationLabel* lblMessage;
    StationLabel* lblRound;
};

} // namespace quill
