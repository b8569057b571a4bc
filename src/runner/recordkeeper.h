// SPDX-License-Identifier: MIT
#pragma once
// The record of every download in the history, for the window and
// quill-cli alike: a row begun for each device before it hears a byte and
// ended when its download ends, each made from the device's report. Each
// beginning and end is on this station's disk (the journal) when the call
// returns; the rows go to the history on a thread of their own, so a
// download never waits for them. A history that cannot be written is said
// once, on the keeper's thread; the downloads go on, and the rows wait in
// the journal for the history to take them.

#include "history/historywriter.h"
#include "platform/settingsstore.h"
#include "qt/handover.h"
#include "shared/report.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill {

class RecordKeeper {
  public:
    using Say = std::function<void(const std::string& text)>;
    using Row = HistoryWriter::Row;

    // `program`: "quill" or "quill-cli"; `operatorName` empty: the login
    // name; `url` empty: the history the settings name. The history is
    // opened now, on the writer's thread; `say` tells its failure.
    RecordKeeper(std::string program, std::string operatorName, const SettingsStore& settings,
                 const std::string& url, Say say);
    // finish(), if nobody did.
    ~RecordKeeper();
    RecordKeeper(const RecordKeeper&) = delete;
    RecordKeeper& operator=(const RecordKeeper&) = delete;

    // Another tells the failure for a while (a view that draws its lines in
    // place); empty: back to the first.
    void setSay(Say say);

    // The attempt of a row begun, as the report now has it, under the row's
    // key (none begun: a new key): for a serial number drawn with it in one
    // step (SerialCounter::draw).
    Attempt attemptFor(std::optional<Row> row, const DeviceReport& device) const;
    // A device's download begins as the report has it so far; `batchUnit`:
    // the unit's number in its batch when it was drawn already (a retry).
    Row begin(const DeviceReport& device, std::optional<int64_t> batchUnit = std::nullopt);
    // ... has reached its device (its attempt number known): the row says
    // so while it runs, so that a station that loses power leaves it a unit.
    void reached(Row row, const DeviceReport& device);
    // ... and ends as it says; `written` runs on the writer's thread once
    // the row is completed.
    void end(Row row, const DeviceReport& device, std::function<void()> written = {});
    // A download refused before it began: begun and ended at once.
    void refused(const DeviceReport& device) { end(begin(device), device); }
    // The row, as far as it was given, is on record: in the journal or in
    // the history. If it is neither, waits a while for the history to take
    // it; when it will not, says why and answers false.
    bool onRecord(Row row);
    // What onRecord() asks between its looks: a signal (its number) that
    // ends the wait; 0, none.
    void setSignalled(std::function<int()> signalled) { m_signalled = std::move(signalled); }
    int signalled() const { return m_signalled(); }
    // The history takes what it can within a few seconds; what is left
    // waits in the journal, and that is said once. False when the history
    // holds the writer stuck: the program should then end without waiting.
    bool finish();

  private:
    void tell();
    Attempt attemptOf(const DeviceReport& device) const;

    std::string m_program;
    std::string m_operator;
    bool m_finished = false;
    Say m_firstSay;
    Say m_say;
    bool m_told = false;
    bool m_notesSaid = false; // what the journal had to say this run
    std::function<int()> m_signalled = [] { return 0; };
    Inbox m_context; // the thread that tells
    std::optional<HistoryError> m_notUnderstood;
    std::unique_ptr<HistoryWriter> m_writer;
};

} // namespace quill
