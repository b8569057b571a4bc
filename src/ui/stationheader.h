// SPDX-License-Identifier: MIT
#pragma once
// The head of the station window, read from a step away: the firmware (its
// file name and the first 12 digits of its SHA-256, the whole of both on
// hover), the baud rate and device, the batch, the serial numbers when
// units get them, the work order's progress across the line, the round,
// and the units since the window opened with their first-pass and final
// yield, as history/unityield.h counts them.
// What does not fit ends in an ellipsis, the whole on hover.

#include "history/unityield.h"
#include "platform/hexfilesource.h"
#include "recipe/recipe.h"
#include "run/runrequest.h"

#include <QWidget>

#include <cstdint>
#include <optional>

namespace quill {

class StationLabel;

class StationHeader final : public QWidget {
    Q_OBJECT

  public:
    explicit StationHeader(QWidget* parent);

    // What is chosen; `identity`: of its file as last read, unknown while
    // it is read or when it cannot be. `serial`: Options, "Serial number...".
    // `recipe`: a work order's, whose firmware is named instead of a file.
    void showChoice(const RunRequest& chosen, const FileIdentity& identity,
                    const SerialRequest& serial, const Recipe* recipe = nullptr);
    // The order's units across every station; none: no order.
    void showOrder(const WorkOrder* order);
    // The number the series' next unit will draw, as the history has it;
    // none: not known (a list, or no history).
    void showNextSerial(std::optional<uint64_t> next);
    void showRound(int round);
    void showUnits(const UnitYield& yield);

  private:
    StationLabel* lblFirmware;
    StationLabel* lblLine;
    StationLabel* lblBatch;
    StationLabel* lblSerial;
    StationLabel* lblOrder;
    StationLabel* lblRound;
    StationLabel* lblCounts;
    QString m_serial; // the series, without its next number
};

} // namespace quill
