// SPDX-License-Identifier: MIT
// What the station window runs and shows of it: the file and the settings
// chosen, or a work order's recipe, which fixes them.

#include "history/historylocation.h"
#include "history/serialcounter.h"
#include "ui/frmstation.h"
#include "ui/stationchoice.h"
#include "ui/stationheader.h"
#include "ui/stationorder.h"
#include "unitserial/serialnumber.h"

#include <QThreadPool>

namespace quill {

namespace {

constexpr auto serialPeekPatience = std::chrono::seconds(2);

} // namespace

// Options, "Serial number..." holds for the station's own choice: each new
// unit of a round draws a number of its own. An order's recipe says its own.
RunRequest frmStation::chosenRequest() const {
    RunRequest request = m_order->request(m_choice->request());
    if (request.workOrder.empty()) {
        request.serial = serialFromSettings(m_store);
    }
    return request;
}

// An order selected fixes the choice; none (or one still being looked
// up) gives the station's own back, its file read again.
void frmStation::orderChanged() {
    const bool ordered = m_order->state() == StationOrder::State::Selected;
    m_choice->fixTo(ordered ? &m_order->recipe() : nullptr);
    ordered ? showHeader() : readFile();
    showProgress();
    showButtons();
}

void frmStation::showProgress() {
    const bool ordered = m_order->state() == StationOrder::State::Selected;
    m_header->showOrder(ordered ? &m_order->order() : nullptr);
}

void frmStation::showHeader() {
    const bool ordered = m_order->state() == StationOrder::State::Selected;
    const Recipe* recipe = ordered ? &m_order->recipe() : nullptr;
    RunRequest shown = m_choice->request();
    if (recipe != nullptr) {
        shown.baud = recipe->settings.baud;
        shown.device = recipe->settings.device;
    }
    const SerialRequest serial = recipe ? recipe->settings.serial : serialFromSettings(m_store);
    m_header->showChoice(shown, m_identity, serial, recipe);
    const auto where = historyLocation(m_store, {});
    if (!serial.wanted() || !serial.listFile.empty() || !where) {
        return;
    }
    // The history's to say, off this thread: a database may take a while.
    startOn(*m_readers, [this, serial, where = *where, asked = ++m_serialAsked] {
        std::optional<uint64_t> next;
        SerialCounter counter(where);
        if (!counter.ready(serialPeekPatience)) {
            if (const auto peeked = counter.peek(serial.counterName({}), serial.start,
                                                 serialPeekPatience, serial.earlierCounterName())) {
                next = *peeked;
            }
        }
        counter.finish(serialPeekPatience);
        m_inbox->post([this, next, asked] {
            if (asked == m_serialAsked) {
                m_header->showNextSerial(next);
            }
        });
    });
}

} // namespace quill
