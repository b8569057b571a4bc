// SPDX-License-Identifier: MIT
#include "runner/devicethread.h"

#include "runner/runnertexts.h"

#include <QMetaObject>

namespace quill {

namespace {

using namespace std::chrono_literals;

// The run draws within a few seconds of its own (serialcounter.h); a
// little more is given for its thread to get to the question.
constexpr auto numbersPatience = 10s;

} // namespace

DeviceThread::DeviceThread(DeviceSetup setup, std::string heldTo,
                           std::function<void(DeviceEvent)> post, Ask ask)
    : m_setup(std::move(setup)), m_heldTo(std::move(heldTo)), m_post(std::move(post)),
      m_ask(std::move(ask)) {}

DeviceThread::~DeviceThread() {
    requestStop();
    wait();
}

void DeviceThread::requestStop() {
    const std::lock_guard lock(m_mutex);
    m_stop = true;
    m_answered.notify_all();
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
    DeviceRun run(m_setup, m_heldTo, m_post, [this] { return numbers(); });
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

UnitNumbers DeviceThread::numbers() {
    if (!m_ask) {
        return {};
    }
    // Each question its own slot: an answer that comes after its wait
    // ended lands in a slot nobody reads.
    auto slot = std::make_shared<std::optional<UnitNumbers>>();
    m_ask([this, slot](UnitNumbers given) {
        const std::lock_guard lock(m_mutex);
        *slot = std::move(given);
        m_answered.notify_all();
    });
    std::unique_lock lock(m_mutex);
    m_answered.wait_for(lock, numbersPatience, [&] { return slot->has_value() || m_stop; });
    if (slot->has_value()) {
        return std::move(**slot);
    }
    UnitNumbers none;
    none.refused = m_stop ? Outcome::Interrupted : Outcome::HistoryFailed;
    const bool stopped = m_stop;
    lock.unlock();
    if (!stopped) {
        DeviceEvent said;
        said.text = text::NumbersNotGiven;
        said.failed = true;
        m_post(std::move(said));
    }
    return none;
}

} // namespace quill
