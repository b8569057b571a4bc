// SPDX-License-Identifier: MIT
#pragma once
// What quill-cli keeps of its downloads: the firmware's identity (its size
// and SHA-256, said in the start line, held to --expect-sha256, written in
// the trace's header and the result), and one row of the history for each
// device, begun before its port is touched and ended when its download
// ends. The rows are written on a thread of their own, so a download waits
// for them only under --require-history, which starts nothing until its
// rows are on record. A history that cannot be written is said once; the
// downloads go on.

#include "cli/clioptions.h"
#include "history/historywriter.h"
#include "history/sha256.h"
#include "platform/settingsstore.h"
#include "run/runresult.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quill::cli {

// The history the command line or the settings name, or this station's.
HistoryResult<HistoryLocation> historyLocation(const CliOptions& options,
                                               const SettingsStore& store);

class CliRecord {
  public:
    using Say = std::function<void(const std::string& text)>;
    using Row = HistoryWriter::Row;

    // The history is opened now, on the writer's thread; `say` shows a line
    // of quill-cli's own (an error, shown even when quiet), `note` one that
    // -q keeps back.
    CliRecord(const CliOptions& options, const SettingsStore& store, Say say, Say note);
    // The rows given are written before it returns.
    ~CliRecord();
    CliRecord(const CliRecord&) = delete;
    CliRecord& operator=(const CliRecord&) = delete;

    // Another front end shows the lines for a while (several ports draw
    // their lines in place); empty: back to the first.
    void setSay(Say say);

    // Reads the file for its identity and says the start line. False, said,
    // when --expect-sha256 names other bytes. A file that cannot be read
    // has no identity: the download says why it cannot be read.
    bool identify(const std::string& file);
    const std::string& sha256() const { return m_identity.sha256; }
    // The trace's second header line; empty when the file was not read.
    std::string traceSubject() const;

    // A device's download begins: its port, device path, baud rate and
    // device kind as `device` has them.
    Row begin(const RunResult& device, const std::string& traceFile = {});
    // --require-history: waits until the rows begun are on record; false,
    // said, when they could not be written. Without it, true at once.
    bool required();
    // How it ended; the last message is the result's last.
    void end(Row row, const RunResult& result, const std::string& traceFile = {});
    // A download refused before it began: begun and ended at once.
    void refused(const RunResult& result) { end(begin(result), result); }

  private:
    void tell();

    const CliOptions& m_options;
    Say m_firstSay;
    Say m_say;
    Say m_note;
    std::string m_file;
    FileIdentity m_identity;
    std::string m_shownIdentity; // the last start line said
    bool m_told = false;
    QObject m_main; // the thread that tells
    std::optional<HistoryError> m_notUnderstood;
    std::unique_ptr<HistoryWriter> m_writer;
};

} // namespace quill::cli
