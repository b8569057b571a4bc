// SPDX-License-Identifier: MIT
#pragma once
// The window's downloads with a number of each unit's own, as Options,
// "Serial number..." chose it (the settings' [Serial]): once the download's
// check has read the file, and before the device hears a byte, the number
// is drawn from the history and put into the records that hold it. A file
// with no data where it goes, a history that gives no number and a number
// that does not fit end the download there, with a message; the history
// says so. It stands between the window's trace and its record: the record
// learns the unit's number before its row begins.

#include "app/downloadrecord.h"
#include "history/serialcounter.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "unitserial/patchedhexfile.h"
#include "unitserial/serialnumber.h"

#include <functional>
#include <memory>
#include <string>

namespace quill {

class WindowSerial final : public DownloadObserver {
  public:
    // `stop` ends the running download at once; `shown` puts the unit's
    // number in the status bar (empty: none).
    WindowSerial(const SettingsStore& settings, PatchedHexFile& file, DownloadRecord& record,
                 MessageBoxes& boxes, std::function<void()> stop,
                 std::function<void(const std::string&)> shown);
    ~WindowSerial() override;

    // At "Start Download", before the download opens the file: the choice
    // is read afresh.
    void noteStart();

  private:
    void downloadEnded(DownloadEnd end) override { m_record.downloadEnded(end); }
    void fileChecked(const FileIdentity& identity, const DownloadTotals& totals) override;
    std::optional<Outcome> putNumber(const FileIdentity& identity, const DownloadTotals& totals);

    const SettingsStore& m_settings;
    PatchedHexFile& m_file;
    DownloadRecord& m_record;
    MessageBoxes& m_boxes;
    std::function<void()> m_stop;
    std::function<void(const std::string&)> m_shown;
    SerialRequest m_request;
    std::unique_ptr<SerialCounter> m_counter; // made at the first number
    std::string m_counterAt;                  // the history it draws from
};

} // namespace quill
