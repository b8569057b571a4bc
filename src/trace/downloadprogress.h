// SPDX-License-Identifier: MIT
#pragma once
// Progress in the units a user can check against the firmware: records sent
// of the records the download will send, and firmware data bytes (the byte
// count of each data record sent) of the data bytes it will send, with the
// elapsed time, the rate in data bytes per second and the time left. It
// learns what was sent from the trace events alone; the totals come from
// the download's check of the whole file, before the first record.

#include "hexfile/hexcodec.h"
#include "platform/hexfilesource.h"
#include "platform/wiretrace.h"
#include "shared/report.h"

#include <cstdint>
#include <optional>

namespace quill {

class DownloadProgress final : public WireTrace {
  public:
    void setTotals(DownloadTotals totals) { m_totals = totals; }
    const DownloadTotals& totals() const { return m_totals; }

    void onTraceEvent(const TraceEvent& event) override;

    int64_t recordsSent() const { return m_recordsSent; }
    int64_t dataBytesSent() const { return m_dataSent; }
    // From the erase request to the end of the download (or to the latest
    // event while it runs); 0 before.
    double elapsedSeconds() const;
    // The download has ended (cs_file_done, or back to cs_off after the erase
    // request went out).
    bool ended() const { return m_endUs.has_value(); }
    // Data bytes per second since the device was ready for the first record;
    // nothing until a record has been sent and time has passed.
    std::optional<double> rate() const;
    std::optional<double> secondsLeft() const;
    // Of the data bytes (of the records, for a file without data).
    int percent() const;
    // All of the above as one value; the phase is not the trace's to know.
    Progress snapshot() const;

  private:
    DownloadTotals m_totals;
    HexTable m_table = makeHexTable();
    int16_t m_state = 0;
    int64_t m_recordsSent = 0;
    int64_t m_dataSent = 0;
    std::optional<int64_t> m_eraseUs;      // the erase request's state entered
    std::optional<int64_t> m_readyUs;      // the device's XON after the erase
    std::optional<int64_t> m_lastRecordUs; // the last record written
    std::optional<int64_t> m_endUs;
    int64_t m_nowUs = 0; // the latest event
};

} // namespace quill
