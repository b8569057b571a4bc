// SPDX-License-Identifier: MIT
#pragma once
// The head of the station window, read from a step away: the firmware (its
// file name and the first 12 digits of its SHA-256, the whole of both on
// hover), the baud rate and device, the batch, and the units that ended
// since the window opened: "4 complete, 0 failed, 100%". A unit stopped
// is neither.

#include "platform/hexfilesource.h"
#include "run/runrequest.h"

#include <QWidget>

class QLabel;

namespace quill {

class StationHeader final : public QWidget {
    Q_OBJECT

  public:
    explicit StationHeader(QWidget* parent);

    // What is chosen; `identity`: of its file as last read, unknown while
    // it is read or when it cannot be.
    void showChoice(const RunRequest& chosen, const FileIdentity& identity);
    // A unit ended, complete or failed.
    void countUnit(bool complete);

  private:
    void showCounts();

    int m_complete = 0;
    int m_failed = 0;
    QLabel* lblFirmware;
    QLabel* lblLine;
    QLabel* lblBatch;
    QLabel* lblCounts;
};

} // namespace quill
