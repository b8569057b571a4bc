// SPDX-License-Identifier: MIT
#include "runner/devicethread.h"

#include <QMetaObject>

namespace quill {

DeviceThread::DeviceThread(DeviceSetup setup, std::string heldTo,
                           std::function<void(DeviceEvent)> post)
    : m_setup(std::move(setup)), m_heldTo(std::move(heldTo)), m_post(std::move(post)) {}

DeviceThread::~DeviceThread() {
    requestStop();
    wait();
}

void DeviceThread::requestStop() {
    const std::lock_guard lock(m_mutex);
    m_stop = true;
    if (m_run != nullptr) {
        m_run->context().post([run = m_run] { run->interrupt(); });
    }
}

void DeviceThread::run() {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stop) {
            DeviceEvent never;
            never.kind = DeviceEvent::Kind::Ended;
            never.outcome = Outcome::Interrupted;
            m_post(std::move(never));
            return;
        }
    }
    DeviceRun run(m_setup, m_heldTo, m_post);
    {
        const std::lock_guard lock(m_mutex);
        m_run = &run;
        if (m_stop) {
            run.context().post([&run] { run.interrupt(); });
        }
    }
    run.exec();
    const std::lock_guard lock(m_mutex);
    m_run = nullptr;
}

} // namespace quill
