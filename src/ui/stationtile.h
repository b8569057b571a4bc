// SPDX-License-Identifier: MIT
#pragma once
// One port of the station window, as a tile an operator reads from a step
// away: the port as named (and the adapter behind it, when the system
// knows it), the phase, the records sent of the file's, the unit's serial
// number once one is drawn, and at the end a colour and a word for
// complete, failed or stopped, with the device's last message (the whole of it on
// hover). It shows a device's report as the
// run keeps it; it keeps nothing of its own.

#include "shared/report.h"

#include <QFrame>

#include <string>

class QLabel;
class QProgressBar;

namespace quill {

// A label of the station window, plain text, its font `scale` times the
// window's: read from a step away.
QLabel* stationLabel(QWidget* parent, const char* name, double scale = 1, bool bold = false);

class StationTile final : public QFrame {
    Q_OBJECT

  public:
    // Stopped: ended by Stop (Esc), neither complete nor failed.
    enum class State { Idle, Running, Complete, Failed, Stopped };
    static State stateOf(const DeviceReport& device);

    StationTile(const std::string& port, QWidget* parent);

    // The adapter's description; empty: none known.
    void setAdapter(const std::string& description);
    // Waiting for a round, with a word for why (empty: ready).
    void setIdle(const std::string& message = {});
    // The device as its report stands.
    void showReport(const DeviceReport& device);

    State state() const { return m_state; }

  private:
    void setState(State state);

    State m_state = State::Idle;
    QLabel* lblPort;
    QLabel* lblAdapter;
    QLabel* lblState;
    QLabel* lblPhase;
    QProgressBar* prbRecords;
    QLabel* lblSerial;
    QLabel* lblMessage;
};

} // namespace quill
