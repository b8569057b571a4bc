// SPDX-License-Identifier: MIT
#include "app/windowserial.h"

#include "history/historylocation.h"
#include "runner/runnertexts.h"
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
    m_drawOnAnswer = false;
    m_file.setRange(m_request.address.value_or(0), m_request.wanted() ? m_request.size : 0);
    // Until the number is drawn the check reads placeholders of its size:
    // a record blank in the file that will carry it is counted as sent.
    if (m_request.wanted()) {
        m_file.setBytes(std::vector<uint8_t>(m_request.size, 0));
    }
    m_record.setSerial({});
    m_shown({});
}

void WindowSerial::fileChecked(const FileIdentity& identity, const DownloadTotals& totals) {
    const bool asked = m_request.wanted() || !m_request.problem.empty();
    const std::optional<Outcome> unusable = asked ? checkNumber() : std::nullopt;
    m_drawOnAnswer = asked && !unusable;
    m_record.fileChecked(identity, totals); // its row begins
    if (unusable) {
        m_record.endAs(*unusable);
        m_stop();
    }
}

void WindowSerial::deviceAnswered() {
    if (!m_drawOnAnswer) {
        return;
    }
    m_drawOnAnswer = false;
    if (const std::optional<Outcome> unusable = drawNumber()) {
        m_record.endAs(*unusable);
        m_stop();
    }
}

// Before the device hears a byte: what makes the number unusable whatever
// the history gives.
std::optional<Outcome> WindowSerial::checkNumber() {
    const bool list = !m_request.listFile.empty();
    m_values =
        list ? readSerialList(m_request.listFile, m_request.size, m_request.format) : SerialList{};
    if (const std::string& problem =
            m_request.problem.empty() ? m_values.problem : m_request.problem;
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
    const auto next = m_counter ? m_counter->peek(m_request.counterName(m_values.sha256),
                                                  list ? 1 : m_request.start, patience,
                                                  m_request.earlierCounterName())
                                : HistoryResult<uint64_t>(where.error());
    if (!next) {
        m_boxes.MsgBox(next.error().text() + '\r' + text::SerialNeedsHistory);
        return Outcome::HistoryFailed;
    }
    std::string written;
    if (!valueOf(*next, written)) {
        m_boxes.MsgBox(text::SerialTooBig + written + text::SerialTooBigMiddle +
                       std::to_string(m_request.size) + text::SerialTooBigEnd);
        return Outcome::SerialUnusable;
    }
    return std::nullopt;
}

// The unit's number, drawn once its device answered and spent whatever
// becomes of the unit: the number and the unit's row go to the history in
// one step.
std::optional<Outcome> WindowSerial::drawNumber() {
    const bool list = !m_request.listFile.empty();
    const Attempt attempt = m_record.attemptFor();
    if (!m_counter) {
        return Outcome::HistoryFailed; // checkNumber() said so already
    }
    const auto drawn =
        m_counter->draw(m_request.counterName(m_values.sha256), list ? 1 : m_request.start,
                        patience, &attempt, m_request.earlierCounterName());
    if (!drawn) {
        m_boxes.MsgBox(drawn.error().text() + '\r' + text::SerialNeedsHistoryErased);
        return Outcome::HistoryFailed;
    }
    std::string written;
    const std::optional<SerialValue> value = valueOf(*drawn, written);
    m_record.setSerial(written);
    if (!value) {
        m_boxes.MsgBox(text::SerialTooBig + written + text::SerialTooBigMiddle +
                       std::to_string(m_request.size) + text::SerialTooBigErasedEnd);
        return Outcome::SerialUnusable;
    }
    m_file.setBytes(value->bytes);
    m_shown(value->written);
    return std::nullopt;
}

std::optional<SerialValue> WindowSerial::valueOf(uint64_t drawn, std::string& written) const {
    written = std::to_string(drawn);
    if (m_request.listFile.empty()) {
        return countedSerial(drawn, m_request.size, m_request.format);
    }
    if (drawn < 1 || drawn > m_values.lines.size()) {
        return std::nullopt;
    }
    const std::string& line = m_values.lines[drawn - 1];
    std::optional<SerialValue> value = listedSerial(line, m_request.size, m_request.format);
    written = value ? value->written : line;
    return value;
}

} // namespace quill
