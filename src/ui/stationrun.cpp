// SPDX-License-Identifier: MIT
#include "ui/stationrun.h"

#include "history/historytexts.h"
#include "port/porttexts.h"

#include <QEventLoop>
#include <QMetaObject>

#include <csignal>

namespace quill {

StationRun::SettingsCopy::SettingsCopy(const SettingsStore& from) {
    // What planRun() and the history's location read: the stored port, baud
    // rate and device, the devices behind COM1 to COM4, the history's URL.
    std::vector<std::pair<std::string, std::string>> keys = {
        {text::SectionPort, text::KeyCom},
        {text::SectionPort, text::KeyBaud},
        {text::SectionOption, text::KeyDevice},
        {text::SectionHistory, text::KeyHistoryUrl},
    };
    for (int n = 1; n <= 4; ++n) {
        keys.emplace_back(text::SectionPortNames, "COM" + std::to_string(n));
    }
    for (auto& key : keys) {
        std::string value = from.GetSetting(key.first, key.second);
        m_values.emplace(std::move(key), std::move(value));
    }
}

std::string StationRun::SettingsCopy::GetSetting(const std::string& section,
                                                 const std::string& key) const {
    const auto found = m_values.find({section, key});
    return found == m_values.end() ? std::string() : found->second;
}

StationRun::StationRun(RunRequest request, const SettingsStore& settings, MessageBoxes& boxes,
                       QObject* window, Events events)
    : m_request(std::move(request)), m_settings(settings), m_boxes(boxes),
      m_window(new Inbox(window)), m_events(std::move(events)),
      m_context(std::make_shared<Inbox>()) {
    m_context->moveToThread(this);
}

StationRun::~StationRun() {
    stop();
    wait();
    m_window->deleteLater(); // after the events posted to it
}

void StationRun::stop() {
    m_stopAsked = true;
    m_context->post([this] {
        if (m_runner != nullptr) {
            m_runner->interrupt(SIGINT);
        }
    });
}

void StationRun::stop(size_t index) {
    m_context->post([this, index] {
        if (m_runner != nullptr) {
            m_runner->stopDevice(index);
        }
    });
}

void StationRun::run() {
    RunReport ended;
    {
        // Made and ended on this thread: its failure is said from here, and
        // its end waits until every row is written.
        RecordKeeper keeper(m_request.program, m_request.operatorName, m_settings,
                            m_request.historyUrl,
                            [this](const std::string& text) { runSaid(text, Said::Error); });
        Runner runner(m_request, m_settings, *this, keeper, *this);
        m_runner = &runner;
        if (m_stopAsked) {
            runner.interrupt(SIGINT);
        }
        ended = runner.exec();
        m_runner = nullptr;
    }
    post([events = m_events, ended = std::move(ended)] { events.finished(ended); });
}

// Queued to the window: it runs there, or never if the window is gone.
void StationRun::post(std::function<void()> call) {
    m_window->post(std::move(call));
}

void StationRun::runSaid(const std::string& text, Said how) {
    post([events = m_events, text, how] { events.said(text, how); });
}

void StationRun::devicesStarting(const RunReport& run) {
    post([events = m_events, run] { events.starting(run); });
}

void StationRun::deviceEvent(size_t index, const DeviceEvent& event, const DeviceReport& device) {
    post([events = m_events, index, kind = event.kind, device] {
        events.device(index, kind, device);
    });
}

void StationRun::stopAsking() {
    if (m_asking != nullptr) {
        m_answer = MsgResult::Cancel;
        m_asking->quit();
    }
}

MsgResult StationRun::MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                             MsgResult defaultButton) {
    if (m_stopAsked) {
        return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
    const unsigned question = ++m_question;
    QEventLoop asking;
    m_asking = &asking;
    m_answer = MsgResult::Cancel;
    // The answer comes back through the context, which outlives every
    // question: a box still open when the round has gone answers nobody.
    post([this, &boxes = m_boxes, context = std::weak_ptr<Inbox>(m_context), question, text,
          buttons, icon, defaultButton] {
        const MsgResult answer = boxes.MsgBox(text, buttons, icon, defaultButton);
        if (const auto alive = context.lock()) {
            alive->post([this, question, answer] {
                if (question == m_question && m_asking != nullptr) {
                    m_answer = answer;
                    m_asking->quit();
                }
            });
        }
    });
    asking.exec();
    m_asking = nullptr;
    return m_answer;
}

} // namespace quill
