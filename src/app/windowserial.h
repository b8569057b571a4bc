// SPDX-License-Identifier: MIT
#pragma once
// The window's downloads with a number of each unit's own, as Options,
// "Serial number..." chose it (the settings' [Serial]). Once the download's
// check has read the file, what can be seen before the device hears a
// byte is checked: a file with no data where the number goes, a list that
// cannot be read or is used up, a counter whose next number does not fit,
// a history that cannot be reached; each ends the download there. The
// number itself is drawn from the history only once the device has
// answered the erase request, just before its first record, and put into
// the records that hold it: a device that is missing, silent or stopped
// spends none. A number that cannot be drawn then, or does not fit, ends
// the download with nothing more sent. It stands between the window's
// trace and its record: the record learns the unit's number with its row.

#include "app/downloadrecord.h"
#include "history/serialcounter.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "unitserial/patchedhexfile.h"
#include "unitserial/seriallist.h"
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
    void deviceAnswered() override;
    std::optional<Outcome> checkNumber();
    std::optional<Outcome> drawNumber();
    // The number drawn as it goes into the image, and what the history keeps.
    std::optional<SerialValue> valueOf(uint64_t drawn, std::string& written) const;

    const SettingsStore& m_settings;
    PatchedHexFile& m_file;
    DownloadRecord& m_record;
    MessageBoxes& m_boxes;
    std::function<void()> m_stop;
    std::function<void(const std::string&)> m_shown;
    SerialRequest m_request;
    SerialList m_values;                      // the list's lines, when it is one
    bool m_drawOnAnswer = false;              // the running download's number waits
    std::unique_ptr<SerialCounter> m_counter; // made at the first number
    std::string m_counterAt;                  // the history it draws from
};

} // namespace quill
