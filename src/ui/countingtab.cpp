// SPDX-License-Identifier: MIT
#include "ui/countingtab.h"

#include <QThreadPool>

#include <utility>

namespace quill {

CountingTab::CountingTab(QWidget* parent)
    : QWidget(parent), m_counter(std::make_unique<QThreadPool>()), m_inbox(new Inbox(this)) {
    m_counter->setMaxThreadCount(1);
}

CountingTab::~CountingTab() {
    m_counter->waitForDone(); // nothing is drawn on a tab that has gone
}

void CountingTab::recount(Count count) {
    if (m_counting) {
        m_waiting = std::move(count);
        return;
    }
    m_counting = true;
    startOn(*m_counter, [this, count = std::move(count)] {
        std::function<void()> draw = count();
        m_inbox->post([this, draw = std::move(draw)] {
            m_counting = false;
            if (m_waiting) {
                recount(std::exchange(m_waiting, nullptr));
                return;
            }
            draw();
            emit drawn();
        });
    });
}

} // namespace quill
