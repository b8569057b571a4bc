// SPDX-License-Identifier: MIT
#include "cli/devicerun.h"

#include "trace/tracetexts.h"

namespace quill::cli {

namespace detail {

MsgResult DeviceBoxes::MsgBox(const std::string& text, MsgButtons buttons, MsgIcon,
                              MsgResult defaultButton) {
    if (buttons == MsgButtons::Ok) {
        m_shown(text);
        return MsgResult::Ok;
    }
    if (defaultButton == MsgResult::Cancel) {
        return m_risks.answer(text).accepted ? MsgResult::Ok : MsgResult::Cancel;
    }
    return MsgResult::Ok;
}

} // namespace detail

DeviceRun::DeviceRun(const DeviceSetup& setup, std::function<void(DeviceEvent)> sink)
    : m_setup(setup), m_post(std::move(sink)),
      m_boxes(setup.risks,
              [this](const std::string& text) { this->post(DeviceEvent::Kind::Message, text); }),
      m_wait([this](const std::string& text) { this->post(DeviceEvent::Kind::Message, text); }),
      m_controls([this] { this->post(DeviceEvent::Kind::Phase, m_controls.caption()); }),
      m_station(StationSetup{[device = setup.device](int16_t) { return device; }, setup.namedByPath,
                             RunSetup{setup.comPort, setup.baud, setup.deviceType, setup.file,
                                      setup.idleTimeoutSeconds, setup.settleMs}},
                m_boxes, m_wait, m_controls, *this) {
    TraceSession& trace = m_station.run().trace();
    trace.addObserver(this);
    if (setup.traceFile) {
        m_writer = std::make_unique<TraceWriter>(
            setup.traceFile->output(), TraceWriter::Form::Full, [this] {
                post(DeviceEvent::Kind::Message, quill::text::TraceNotWritten +
                                                     m_setup.traceFile->path() +
                                                     quill::text::TraceGoesOn);
            });
        trace.addObserver(m_writer.get());
    }
    if (setup.verbose) {
        m_verbose = std::make_unique<TraceWriter>(
            [this](std::string_view lines) {
                post(DeviceEvent::Kind::Trace, std::string(lines));
                return true;
            },
            TraceWriter::Form::Short, TraceWriter::FailureReport{}, TraceWriter::Flush::EachLine);
        trace.addObserver(m_verbose.get());
    }
}

DeviceRun::~DeviceRun() {
    TraceSession& trace = m_station.run().trace();
    trace.removeObserver(m_verbose.get());
    trace.removeObserver(m_writer.get());
    trace.removeObserver(this);
}

void DeviceRun::flushTrace() {
    if (m_writer) {
        m_writer->flush();
    }
}

DeviceEvent DeviceRun::progress() const {
    const HeadlessRun& run = m_station.run();
    const DownloadProgress& p = run.trace().progress();
    DeviceEvent e;
    e.kind = DeviceEvent::Kind::Progress;
    e.text = m_controls.caption();
    e.records = p.recordsSent();
    e.dataBytes = p.dataBytesSent();
    e.percent = p.percent();
    e.seconds = p.elapsedSeconds();
    e.rate = p.rate();
    e.outcome = run.outcome().decided() ? std::string(run.outcome().name()) : std::string();
    return e;
}

// The progress has seen the event first: a new percentage is worth a line.
void DeviceRun::onTraceEvent(const TraceEvent& event) {
    if (event.kind != TraceKind::Written) {
        return;
    }
    if (const int percent = m_station.run().trace().progress().percent();
        percent != m_percentShown) {
        m_percentShown = percent;
        post(DeviceEvent::Kind::Progress);
    }
}

void DeviceRun::post(DeviceEvent::Kind kind, std::string text) {
    DeviceEvent event = progress();
    event.kind = kind;
    event.text = std::move(text);
    m_post(std::move(event));
}

// Every message of a device is a line of its own, prefixed with its port;
// quiet, they wait for the device's end and show only if it failed.
void DeviceRun::runMessage(const std::string& text, bool) {
    post(DeviceEvent::Kind::Message, text);
}

} // namespace quill::cli
