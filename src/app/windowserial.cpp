// SPDX-License-Identifier: MIT
#include "app/windowserial.h"

#include "history/historylocation.h"
#include "runner/runnertexts.h"
#include "unitserial/seriallist.h"
#include "unitserial/serialtexts.h"

#include <chrono>
#include <vector>

namespace quill {

namespace {

using namespace std::chrono_literals;

// How long a number is waited for from the history.
constexpr auto patience = 5s;

} // namespace

WindowSerial::WindowSerial(const SettingsStore& settings, PatchedHexFile& file,
                           DownloadRecord& record, MessageBoxes& boxes, std::function<void()> stop,
                           std::function<void(const std::string&)> shown)
    : m_settings(settings), m_file(file), m_record(record), m_boxes(boxes), m_stop(std::move(stop)),
      m_shown(std::move(shown)) {}

WindowSerial::~WindowSerial() = default;

void WindowSerial::noteStart() {
    m_request = serialFromSettings(m_settings);
    m_file.setRange(m_request.address.value_or(0), m_request.wanted() ? m_request.size : 0);
    m_record.setSerial({});
    m_shown({});
}

void WindowSerial::fileChecked(const FileIdentity& identity, const DownloadTotals& totals) {
    const bool asked = m_request.wanted() || !m_request.problem.empty();
    const std::optional<Outcome> unusable = asked ? putNumber(identity, totals) : std::nullopt;
    m_record.fileChecked(identity, totals); // its row begins, with the number
    if (unusable) {
        m_record.endAs(*unusable);
        m_stop();
    }
}

// The unit's number, drawn once and spent whatever becomes of the unit.
std::optional<Outcome> WindowSerial::putNumber(const FileIdentity& identity,
                                               const DownloadTotals& totals) {
    const bool list = !m_request.listFile.empty();
    const SerialList values =
        list ? readSerialList(m_request.listFile, m_request.size, m_request.format) : SerialList{};
    if (const std::string& problem = m_request.problem.empty() ? values.problem : m_request.problem;
        !problem.empty()) {
        m_boxes.MsgBox(problem);
        return Outcome::SerialUnusable;
    }
    if (const auto missing = m_file.firstMissing()) {
        // Data there only after the end record is never sent: the unit would not get it.
        const bool late = m_file.heldAfterEnd(*missing);
        m_boxes.MsgBox((late ? text::SerialAfterEnd : text::SerialNoData) + addressText(*missing) +
                       (late ? text::SerialAfterEndEnd : text::SerialNoDataEnd));
        return Outcome::SerialUnusable;
    }
    // The counter keeps its connection from download to download, and opens
    // it anew after a failure (a server restarted).
    const auto where = historyLocation(m_settings);
    if (!where) {
        m_counter.reset();
    } else if (!m_counter || m_counterAt != where->shown()) {
        m_counter = std::make_unique<SerialCounter>(*where);
        m_counterAt = where->shown();
    }
    // The number and the unit's row go to the history in one step.
    const Attempt attempt = m_record.attemptFor(identity, totals);
    const auto drawn = m_counter ? m_counter->draw(m_request.counterName(values.sha256),
                                                   list ? 1 : m_request.start, patience, &attempt,
                                                   m_request.earlierCounterName())
                                 : HistoryResult<uint64_t>(where.error());
    if (!drawn) {
        m_boxes.MsgBox(drawn.error().text() + '\r' + text::SerialNeedsHistory);
        return Outcome::HistoryFailed;
    }
    std::optional<SerialValue> value;
    std::string written = std::to_string(*drawn);
    if (!list) {
        value = countedSerial(*drawn, m_request.size, m_request.format);
    } else if (*drawn >= 1 && *drawn <= values.lines.size()) {
        const std::string& line = values.lines[*drawn - 1];
        value = listedSerial(line, m_request.size, m_request.format);
        written = value ? value->written : line;
    }
    m_record.setSerial(written);
    if (!value) {
        m_boxes.MsgBox(text::SerialTooBig + written + text::SerialTooBigMiddle +
                       std::to_string(m_request.size) + text::SerialTooBigEnd);
        return Outcome::SerialUnusable;
    }
    m_file.setBytes(value->bytes);
    m_shown(value->written);
    return std::nullopt;
}

} // namespace quill
