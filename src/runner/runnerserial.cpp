// SPDX-License-Identifier: MIT
// The run's serial numbers: the list read and the counter reached before
// any port is touched, what can be refused then, and the number of each
// unit drawn once its device has answered.
#include "runner/runner.h"

#include "history/historylocation.h"
#include "runner/runnertexts.h"
#include "unitserial/seriallist.h"
#include "unitserial/serialtexts.h"

#include <chrono>

namespace quill {

namespace {

using namespace std::chrono_literals;

// How long a number is waited for from the history.
constexpr auto serialPatience = 5s;

} // namespace

// --serial-list: every line, read and checked before any port is touched.
bool Runner::readSerialList() {
    const SerialRequest& serial = m_request.serial;
    if (serial.listFile.empty()) {
        return true;
    }
    SerialList list = quill::readSerialList(serial.listFile, serial.size, serial.format);
    if (!list.problem.empty()) {
        m_plan.problems.push_back(list.problem);
        return false;
    }
    m_serialList = std::move(list.lines);
    m_serialListSha256 = std::move(list.sha256);
    return true;
}

// No history, no number: the counter must be there before any port is touched.
std::optional<Outcome> Runner::drawSerials() {
    if (!m_request.serial.wanted()) {
        return std::nullopt;
    }
    const auto where = historyLocation(m_settings, m_request.historyUrl);
    HistoryStatus failed = where ? HistoryStatus{} : HistoryStatus{where.error()};
    if (where) {
        m_serialCounter = std::make_unique<SerialCounter>(*where);
        failed = m_serialCounter->ready(serialPatience);
    }
    if (failed) {
        show(failed->text() + '\r' + text::SerialNeedsHistory);
        return Outcome::HistoryFailed;
    }
    return std::nullopt;
}

// What can be seen before any port is touched: a number that would not fit,
// or a list used up, refuses the unit now, and its device hears nothing.
// Otherwise the number is drawn once the device has answered; until then
// the image holds placeholders of its size. A unit carried on draws nothing.
std::optional<Outcome> Runner::prepareSerial(size_t index) {
    if (!m_serialCounter) {
        return std::nullopt;
    }
    const SerialRequest& serial = m_request.serial;
    DeviceReport& d = m_report.devices[index];
    DeviceSetup& setup = m_plan.devices[index];
    setup.serialAddress = serial.address;
    if (!d.serialBytes.empty()) {
        setup.serialBytes = d.serialBytes;
        return std::nullopt;
    }
    const auto next = m_serialCounter->peek(serial.counterName(m_serialListSha256),
                                            serial.listFile.empty() ? serial.start : 1,
                                            serialPatience, serial.earlierCounterName());
    if (!next) {
        d.addMessage(next.error().text() + '\r' + text::SerialNeedsHistory);
        m_boxes.MsgBox(d.lastMessage());
        return Outcome::HistoryFailed;
    }
    // The devices before this one in the run draw theirs first.
    const Numbered ahead = numbered(*next + m_numbersAhead, false);
    if (!ahead.value) {
        d.addMessage(ahead.problem);
        m_boxes.MsgBox(d.lastMessage());
        return Outcome::SerialUnusable;
    }
    ++m_numbersAhead;
    setup.serialBytes.assign(serial.size, 0);
    setup.serialOnAnswer = true;
    return std::nullopt;
}

// On this thread, asked by the device's once it answered: the number is
// drawn with the unit's row in one step, and spent whatever becomes of the
// unit. A number that cannot go into the image ends the unit there.
UnitNumbers Runner::drawNumbers(size_t index) {
    const SerialRequest& serial = m_request.serial;
    DeviceReport& d = m_report.devices[index];
    UnitNumbers given;
    if (d.ended() || m_report.signal != 0 || !m_serialCounter) {
        given.refused = Outcome::Interrupted;
        return given;
    }
    const auto fail = [&](Outcome outcome, const std::string& why) {
        refuseUnit(index, why);
        given.refused = outcome;
        return given;
    };
    const Attempt attempt = m_keeper.attemptFor(m_rows[index], d);
    const auto drawn = m_serialCounter->draw(serial.counterName(m_serialListSha256),
                                             serial.listFile.empty() ? serial.start : 1,
                                             serialPatience, &attempt, serial.earlierCounterName());
    if (!drawn) {
        return fail(Outcome::HistoryFailed,
                    drawn.error().text() + '\r' + text::SerialNeedsHistoryErased);
    }
    Numbered n = numbered(*drawn, true);
    d.serial = n.written;
    if (!n.value) {
        return fail(Outcome::SerialUnusable, n.problem);
    }
    d.serialBytes = n.value->bytes;
    given.serialBytes = std::move(n.value->bytes);
    return given;
}

// The number drawn as it goes into the image; `erased`: the device has
// already heard the erase request.
Runner::Numbered Runner::numbered(uint64_t drawn, bool erased) const {
    const SerialRequest& serial = m_request.serial;
    Numbered n;
    const char* end = erased ? text::SerialTooBigErasedEnd : text::SerialTooBigEnd;
    if (serial.listFile.empty()) {
        n.written = std::to_string(drawn);
        n.value = countedSerial(drawn, serial.size, serial.format);
        if (!n.value) {
            n.problem = text::SerialTooBig + n.written + text::SerialTooBigMiddle +
                        std::to_string(serial.size) + end;
        }
    } else if (drawn == 0 || drawn > m_serialList.size()) {
        n.problem = text::SerialTooBig + std::string("list ") + serial.listFile +
                    (erased ? text::SerialListUsedUpErased : text::SerialListUsedUp);
    } else {
        const std::string& line = m_serialList[drawn - 1];
        n.value = listedSerial(line, serial.size, serial.format);
        n.written = n.value ? n.value->written : line;
        if (!n.value) {
            n.problem = text::SerialBadLine + std::to_string(drawn) + text::SerialBadLineMiddle +
                        serial.listFile + text::SerialBadLineEnd + std::to_string(serial.size) +
                        end;
        }
    }
    return n;
}

} // namespace quill
