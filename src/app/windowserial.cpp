// SPDX-License-Identifier: MIT
#include "app/windowserial.h"

#include "history/historylocation.h"
#include "runner/runnertexts.h"

#include <chrono>
#include <fstream>
#include <vector>

namespace quill {

namespace {

using namespace std::chrono_literals;

// How long a number is waited for from the history.
constexpr auto patience = 5s;

// The list's line `n` (1 for the first); none when it has no such line.
std::optional<std::string> listLine(const std::string& path, uint64_t n) {
    std::ifstream list(path);
    std::string line;
    for (uint64_t i = 0; i < n && std::getline(list, line); ++i) {
        if (i + 1 == n) {
            return line;
        }
    }
    return std::nullopt;
}

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
    const std::optional<Outcome> unusable = m_request.wanted() ? putNumber() : std::nullopt;
    m_record.fileChecked(identity, totals); // its row begins, with the number
    if (unusable) {
        m_record.endAs(*unusable);
        m_stop();
    }
}

// The unit's number, drawn once and spent whatever becomes of the unit.
std::optional<Outcome> WindowSerial::putNumber() {
    if (const auto missing = m_file.firstMissing()) {
        m_boxes.MsgBox(text::SerialNoData + addressText(*missing) + text::SerialNoDataEnd);
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
    const bool list = !m_request.listFile.empty();
    const auto drawn =
        m_counter ? m_counter->draw(m_request.counterName(), list ? 1 : m_request.start, patience)
                  : HistoryResult<uint64_t>(where.error());
    if (!drawn) {
        m_boxes.MsgBox(drawn.error().text() + '\r' + text::SerialNeedsHistory);
        return Outcome::HistoryFailed;
    }
    std::optional<SerialValue> value;
    std::string written = std::to_string(*drawn);
    if (!list) {
        value = countedSerial(*drawn, m_request.size, m_request.format);
    } else if (const auto line = listLine(m_request.listFile, *drawn)) {
        value = listedSerial(*line, m_request.size, m_request.format);
        written = value ? value->written : *line;
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
