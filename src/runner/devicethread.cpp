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
                           std::function<void(DeviceEvent)> post, Ask ask, PlaceAsk askPlace)
    : m_setup(std::move(setup)), m_heldTo(std::move(heldTo)), m_post(std::move(post)),
      m_ask(std::move(ask)), m_askPlace(std::move(askPlace)) {}

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
    DeviceRun run(
        m_setup, m_heldTo, m_post, [this] { return numbers(); },
        m_askPlace ? DeviceRun::Place([this] { return place(); }) : DeviceRun::Place());
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

template <class T>
std::optional<T> DeviceThread::awaitAnswer(const std::function<void(std::function<void(T)>)>& ask,
                                           bool& stopped) {
    // Each question its own slot: an answer that comes after its wait
    // ended lands in a slot nobody reads.
    auto slot = std::make_shared<std::optional<T>>();
    ask([this, slot](T given) {
        const std::lock_guard lock(m_mutex);
        *slot = std::move(given);
        m_answered.notify_all();
    });
    std::unique_lock lock(m_mutex);
    m_answered.wait_for(lock, numbersPatience, [&] { return slot->has_value() || m_stop; });
    stopped = m_stop;
    return std::move(*slot);
}

UnitNumbers DeviceThread::numbers() {
    if (!m_ask) {
        return {};
    }
    bool stopped = false;
    if (auto given = awaitAnswer<UnitNumbers>(m_ask, stopped)) {
        return std::move(*given);
    }
    UnitNumbers none;
    none.refused = stopped ? Outcome::Interrupted : Outcome::HistoryFailed;
    if (!stopped) {
        DeviceEvent said;
        said.text = text::NumbersNotGiven;
        said.failed = true;
        m_post(std::move(said));
    }
    return none;
}

// A place that does not come in time is no place: the device hears nothing.
// One given too late is given back by the run when the unit ends.
std::optional<Outcome> DeviceThread::place() {
    bool stopped = false;
    if (auto given = awaitAnswer<std::optional<Outcome>>(m_askPlace, stopped)) {
        return *given;
    }
    if (!stopped) {
        DeviceEvent said;
        said.text = text::PlaceNotGiven;
        said.failed = true;
        m_post(std::move(said));
        return Outcome::HistoryFailed;
    }
    return Outcome::Interrupted;
}

} // namespace quill
