// SPDX-License-Identifier: MIT
#include "cli/devicethread.h"

#include <QMetaObject>

namespace quill::cli {

DeviceThread::DeviceThread(DeviceSetup setup, std::function<void(DeviceEvent)> post, Ended ended)
    : m_setup(std::move(setup)), m_post(std::move(post)), m_ended(std::move(ended)) {}

DeviceThread::~DeviceThread() {
    requestStop();
    wait();
}

void DeviceThread::requestStop() {
    const std::lock_guard lock(m_mutex);
    m_stop = true;
    if (m_run != nullptr) {
        QMetaObject::invokeMethod(
            &m_run->context(), [run = m_run] { run->interrupt(); }, Qt::QueuedConnection);
    }
}

void DeviceThread::run() {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stop) {
            m_ended(ExitCode::Interrupted, {}, false);
            return;
        }
    }
    DeviceRun run(m_setup, m_post);
    {
        const std::lock_guard lock(m_mutex);
        m_run = &run;
        if (m_stop) {
            QMetaObject::invokeMethod(
                &run.context(), [&run] { run.interrupt(); }, Qt::QueuedConnection);
        }
    }
    const ExitCode code = run.exec();
    {
        const std::lock_guard lock(m_mutex);
        m_run = nullptr;
    }
    run.flushTrace(); // its failure is told before the end
    m_ended(code, run.progress(), run.openFailed());
}

} // namespace quill::cli
