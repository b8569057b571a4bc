// SPDX-License-Identifier: MIT
#pragma once
// Writes trace events as text, one event per line: the time in ms since the
// start with three decimals, the event's name, then its bytes in hex with
// their printable form, or its text, e.g.
//
//      5.000 TX    3A 30 31 30 30 30 30 30 30 46 46 30 30 0D 0A  ":01000000FF00.."
//
// The short form (for a terminal) shows received control bytes by name and
// abbreviates record lines. Lines are kept in a buffer and written when a
// download ends or fails (cstate back to cs_off or at cs_file_done, a box or
// a wait-dialog report opens, the port fails, closes or is lost), when the
// buffer is full, and at flush(), so that the download never waits for the
// disk. A failed write is reported once; the writer then drops what comes.

#include "platform/wiretrace.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

class TraceWriter final : public WireTrace {
  public:
    enum class Form { Full, Short };
    // Writes all of a text; false when it could not.
    using Output = std::function<bool(std::string_view)>;
    using FailureReport = std::function<void()>;

    // AtEnds as above; EachLine writes every line at once, for a person
    // watching a terminal (its cost is the terminal's, not the disk's).
    enum class Flush { AtEnds, EachLine };

    TraceWriter(Output output, Form form, FailureReport onFailure = {},
                Flush flush = Flush::AtEnds);
    ~TraceWriter() override;
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    void onTraceEvent(const TraceEvent& event) override;
    // Writes what is buffered. False once a write has failed.
    bool flush();
    bool failed() const { return m_failed; }

    // One event as its line, without the line end; times count from `startUs`.
    static std::string line(const TraceEvent& event, int64_t startUs, Form form);

  private:
    static void append(std::string& out, const TraceEvent& event, int64_t startUs, Form form);

    Output m_output;
    Form m_form;
    FailureReport m_onFailure;
    Flush m_flush;
    std::string m_buffer;
    std::optional<int64_t> m_startUs;
    bool m_failed = false;
};

// The name of a cstate value, e.g. "cs_flash_erase".
std::string_view cstate_name(int32_t cstate);

// The first line of a trace file: which program wrote it, and when, in
// local time (the times of the events count from the start), e.g.
// "# quill-cli 1.0.4 download trace, started 2026-12-06 16:40:00 +0000";
// then `about` on a line of its own, when there is one ("# recipe
// sensor@3, work order 4711").
std::string traceHeader(std::string_view program, std::string_view about = {});

// A trace file, written from its first byte (an older one is replaced) and
// opened by its header; the folders above it are made when missing.
class TraceFile {
  public:
    // Nothing, with the reason in `error`, when the file cannot be made.
    static std::unique_ptr<TraceFile> create(const std::string& path, std::string_view program,
                                             std::string& error, std::string_view about = {});
    struct Opened {
        std::FILE* file;
    };
    TraceFile(Opened opened, std::string path) : m_file(opened.file), m_path(std::move(path)) {}
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // The file as a writer's output.
    TraceWriter::Output output();
    const std::string& path() const { return m_path; }

  private:
    std::FILE* m_file;
    std::string m_path;
};

// Standard error (or any stream left open by its owner) as a writer's output.
TraceWriter::Output streamOutput(std::FILE* stream);

} // namespace quill
