// SPDX-License-Identifier: MIT
#include "runner/devicerun.h"

#include "trace/tracetexts.h"

namespace quill {

namespace {

constexpr int64_t progressEveryUs = 250'000;

} // namespace

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

DeviceRun::DeviceRun(const DeviceSetup& setup, const std::string& heldTo,
                     std::function<void(DeviceEvent)> post, std::function<UnitNumbers()> numbers,
                     Place place)
    : m_setup(setup), m_post(std::move(post)), m_numbers(std::move(numbers)),
      m_place(std::move(place)),
      m_boxes(setup.risks,
              [this](const std::string& text) { this->post(DeviceEvent::Kind::Message, text); }),
      m_wait([this](const std::string& text) { this->post(DeviceEvent::Kind::Message, text); }),
      m_controls([this] { this->post(DeviceEvent::Kind::Phase, m_controls.caption()); }),
      m_station(StationSetup{[device = setup.device](int16_t) { return device; }, setup.namedByPath,
                             RunSetup{setup.comPort, setup.baud, setup.deviceType, setup.file,
                                      setup.idleTimeoutSeconds, setup.settleMs},
                             heldTo, setup.serialAddress, setup.serialBytes, setup.firmware},
                m_boxes, m_wait, m_controls, *this) {
    TraceSession& trace = m_station.run().trace();
    trace.addObserver(this);
    if (setup.traceFile) {
        m_writer = std::make_unique<TraceWriter>(
            setup.traceFile->output(), TraceWriter::Form::Full, [this] {
                this->post(DeviceEvent::Kind::Message,
                           text::TraceNotWritten + m_setup.tracePath + text::TraceGoesOn);
            });
        trace.addObserver(m_writer.get());
    }
    if (setup.verbose) {
        m_verbose = std::make_unique<TraceWriter>(
            [this](std::string_view lines) {
                this->post(DeviceEvent::Kind::Trace, std::string(lines));
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

void DeviceRun::exec() {
    const Outcome outcome = m_station.exec();
    // What the trace still holds is written first: its failure is told before the end.
    if (m_writer) {
        m_writer->flush();
    }
    DeviceEvent ended;
    ended.kind = DeviceEvent::Kind::Ended;
    ended.progress = progress();
    ended.failed = outcome != Outcome::Complete;
    ended.outcome = outcome;
    ended.openFailed = m_station.opening() == PortOpening::OpenFailed;
    m_post(std::move(ended));
}

Progress DeviceRun::progress() const {
    Progress p = m_station.run().trace().progress().snapshot();
    p.phase = m_controls.caption();
    return p;
}

// The progress has seen the event first: a new percentage is worth an
// event, and so is a quarter of a second of records at the same one.
void DeviceRun::onTraceEvent(const TraceEvent& event) {
    if (event.kind != TraceKind::Written) {
        return;
    }
    // The first byte written (the erase request, or the Tracker's first
    // frame) is the one the device hears first: from here on it is a unit.
    if (!m_reached) {
        m_reached = true;
        post(DeviceEvent::Kind::Reached);
    }
    const int percent = m_station.run().trace().progress().percent();
    if (percent != m_percentShown || event.atUs - m_postedAtUs >= progressEveryUs) {
        m_percentShown = percent;
        m_postedAtUs = event.atUs;
        post(DeviceEvent::Kind::Progress);
    }
}

// The unit's number, drawn by the run now that the device is there, goes
// into the image before the first record.
std::optional<Outcome> DeviceRun::deviceAnswered() {
    if (!m_setup.serialOnAnswer || !m_numbers) {
        return std::nullopt;
    }
    UnitNumbers given = m_numbers();
    if (given.refused) {
        m_failed = true;
        return given.refused;
    }
    m_station.setSerialBytes(std::move(given.serialBytes));
    return std::nullopt;
}

// A unit of a work order takes its place now, at the last moment before
// its device hears a byte, and not once the device has answered: a unit
// refused after the erase request would leave an erased device behind.
// Refused here, the device is left exactly as it was.
std::optional<Outcome> DeviceRun::beforeFirstByte() {
    if (!m_place) {
        return std::nullopt;
    }
    const std::optional<Outcome> refused = m_place();
    m_failed = m_failed || refused.has_value();
    return refused;
}

void DeviceRun::post(DeviceEvent::Kind kind, std::string text) {
    DeviceEvent event;
    event.kind = kind;
    event.text = std::move(text);
    event.progress = progress();
    event.failed = m_failed;
    m_post(std::move(event));
}

void DeviceRun::runMessage(const std::string& text, bool error) {
    m_failed = m_failed || error;
    post(DeviceEvent::Kind::Message, text);
}

// Told before any message about the end.
void DeviceRun::downloadEnded(DownloadEnd end) {
    m_failed = m_failed || end != DownloadEnd::Complete;
}

void DeviceRun::runEnding(Outcome outcome) {
    m_failed = m_failed || outcome != Outcome::Complete;
}

} // namespace quill
