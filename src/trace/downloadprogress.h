// SPDX-License-Identifier: MIT
#pragma once
// Progress in the units a user can check against the firmware: records sent
// of the records the download will send, and firmware data bytes (the byte
// count of each data record sent) of the data bytes it will send, with the
// elapsed time, the rate in data bytes per second and the time left. It
// learns what was sent from the trace events alone; the totals come from
// one pass over the file before the download starts.

#include "hexfile/hexcodec.h"
#include "platform/hexfilesource.h"
#include "platform/wiretrace.h"

#include <cstdint>
#include <optional>

namespace quill {

struct DownloadTotals {
    int64_t records = 0;   // records the download will send
    int64_t dataBytes = 0; // data bytes of the data records among them
    friend bool operator==(const DownloadTotals&, const DownloadTotals&) = default;
};

// Reads `file` from where it stands to its end and counts what a download
// of it sends: record lines that are not all-FF data records and have no bad
// digit, up to and including the first end record. A record with a bad
// checksum ends the count (the download refuses such a file).
DownloadTotals countDownload(HexFileSource& file, const HexTable& table);

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
