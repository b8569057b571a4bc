// SPDX-License-Identifier: MIT
#include "events/eventwriter.h"

#include "events/eventtexts.h"
#include "quillversion.h"
#include "runner/runplan.h"
#include "shared/utf8text.h"

#include <QDateTime>
#include <QUuid>

#include <chrono>
#include <cmath>
#include <cstdio>

namespace quill::events {

namespace {

std::string now() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
}

int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string decimals(double value, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, std::isfinite(value) ? value : 0.0);
    return text;
}

// One event as a JSON object on one line, its members in the order added.
class Line {
  public:
    Line(const char* event, const std::string& run, const std::string& time) {
        m_text = "{\"v\":" + std::to_string(text::SchemaVersion) + ",\"event\":\"" + event + '"';
        text("time", time);
        text("run", run);
    }
    Line& raw(const char* name, const std::string& json) {
        m_text += ",\"";
        m_text += name;
        m_text += "\":";
        m_text += json;
        return *this;
    }
    Line& text(const char* name, std::string_view value) { return raw(name, jsonString(value)); }
    Line& textOrNull(const char* name, std::string_view value) {
        return value.empty() ? raw(name, "null") : text(name, value);
    }
    Line& number(const char* name, int64_t value) { return raw(name, std::to_string(value)); }
    Line& numberOrNull(const char* name, std::optional<int64_t> value) {
        return value ? number(name, *value) : raw(name, "null");
    }
    // Where a device's event belongs.
    Line& device(const DeviceReport& d) {
        text("port", d.port);
        numberOrNull("unit", d.unit);
        return textOrNull("batch", d.batch);
    }
    std::string done() { return m_text + '}'; }

  private:
    std::string m_text;
};

Line deviceLine(const char* event, const std::string& run, const DeviceReport& d) {
    Line line(event, run, now());
    line.device(d);
    return line;
}

} // namespace

bool ProgressGate::pass(int64_t ms, int tenth) {
    if (m_lastMs && ms - *m_lastMs < minimumMs) {
        return false;
    }
    if (m_lastMs && tenth <= m_tenth && ms - *m_lastMs < maximumMs) {
        return false;
    }
    m_lastMs = ms;
    m_tenth = tenth;
    return true;
}

EventWriter::EventWriter(std::unique_ptr<Sink> sink, const RunRequest& request)
    : m_sink(std::move(sink)), m_request(request),
      m_run(QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString()), m_begun(now()) {}

EventWriter::~EventWriter() = default;

void EventWriter::put(const std::string& about, const char* event, const std::string& line) {
    if (!m_started) {
        m_held.push_back({about, event, line});
        return;
    }
    m_sink->put(about, event, line);
}

void EventWriter::message(const std::string& text) {
    if (m_ended) {
        return;
    }
    put(text::RunTopic, text::Message,
        Line(text::Message, m_run, now())
            .raw("port", "null")
            .raw("unit", "null")
            .raw("batch", "null")
            .text("text", keptMessage(text))
            .done());
}

// The file as the run's one check read it, the ports, the line and the
// batch: from the first round's report, or from the request alone when no
// round ran.
void EventWriter::runStarted(const RunReport* run) {
    Line line(text::RunStarted, m_run, m_begun);
    const bool planned = run != nullptr && !run->devices.empty();
    // A recipe's firmware is named as the run names it ("recipe NAME@VERSION").
    line.text("file", planned ? run->devices.front().file : m_request.file);
    const FileIdentity identity = run != nullptr ? run->identity : FileIdentity{};
    line.numberOrNull("file_size",
                      identity.known() ? std::optional<int64_t>(identity.size) : std::nullopt);
    line.textOrNull("file_sha256", identity.sha256);
    std::string ports = "[";
    if (planned) {
        for (const DeviceReport& d : run->devices) {
            ports += (ports.size() > 1 ? "," : "") + jsonString(d.port);
        }
    } else {
        for (const std::string& port : m_request.ports) {
            ports += (ports.size() > 1 ? "," : "") + jsonString(port);
        }
    }
    line.raw("ports", ports + "]");
    const std::optional<int32_t> baud = planned ? run->devices.front().baud : m_request.baud;
    const std::optional<int16_t> kind =
        planned ? run->devices.front().deviceType : m_request.device;
    line.numberOrNull("baud", baud);
    line.textOrNull("device", deviceKindName(kind));
    line.textOrNull("batch", m_request.batch);
    // As the run found them: the recipe with its version, the order as named.
    line.textOrNull("recipe", planned ? run->devices.front().recipe : std::string());
    line.textOrNull("work_order", m_request.workOrder);
    line.text("program", m_request.program);
    line.text("version", QuillVersion);
    m_started = true;
    m_sink->put(text::RunTopic, text::RunStarted, line.done());
    for (const Held& held : m_held) {
        m_sink->put(held.about, held.event, held.line);
    }
    m_held.clear();
}

void EventWriter::devicesStarting(const RunReport& run) {
    if (!m_started) {
        runStarted(&run);
    }
    m_devices.assign(run.devices.size(), Device{});
    for (const DeviceReport& d : run.devices) {
        put(topicLevel(d.port), text::DeviceStarted,
            deviceLine(text::DeviceStarted, m_run, d)
                .textOrNull("device_path", d.devicePath)
                .textOrNull("trace_file", d.traceFile)
                .done());
    }
}

void EventWriter::deviceEvent(size_t index, const DeviceEvent& event, const DeviceReport& d) {
    if (m_ended || index >= m_devices.size()) {
        return;
    }
    const Progress& p = d.progress;
    switch (event.kind) {
    case DeviceEvent::Kind::Message:
        put(topicLevel(d.port), text::Message,
            deviceLine(text::Message, m_run, d).text("text", keptMessage(event.text)).done());
        break;
    case DeviceEvent::Kind::Phase:
        put(topicLevel(d.port), text::Phase,
            deviceLine(text::Phase, m_run, d).text("phase", event.text).done());
        break;
    case DeviceEvent::Kind::Progress: {
        if (p.records == 0) {
            break; // the erase request: no record has gone out yet
        }
        const int tenth =
            d.totals.records > 0 ? static_cast<int>(p.records * 10 / d.totals.records) : 0;
        if (!m_devices[index].gate.pass(steadyMs(), tenth)) {
            break;
        }
        Line line = deviceLine(text::Progress, m_run, d);
        line.number("records_sent", p.records)
            .number("records_total", d.totals.records)
            .number("data_bytes_sent", p.dataBytes)
            .number("data_bytes_total", d.totals.dataBytes)
            .number("percent", p.percent)
            .raw("seconds", decimals(p.seconds, "%.3f"))
            .raw("bytes_per_second", p.rate ? decimals(*p.rate, "%.0f") : "null")
            .raw("seconds_left", p.secondsLeft ? decimals(*p.secondsLeft, "%.1f") : "null");
        put(topicLevel(d.port), text::Progress, line.done());
        break;
    }
    case DeviceEvent::Kind::Trace:
    case DeviceEvent::Kind::Reached:
        break;
    case DeviceEvent::Kind::Ended:
        deviceEnded(index, d, Outcome::Failure, true);
        break;
    }
}

void EventWriter::deviceEnded(size_t index, const DeviceReport& d, Outcome otherwise, bool began) {
    if (index < m_devices.size()) {
        m_devices[index].ended = true;
    }
    const Outcome outcome = d.outcome.value_or(otherwise);
    if (outcome == Outcome::Complete) {
        ++m_complete;
    } else if (began && unitTouched(outcome)) {
        ++m_failed;
    }
    m_units.push_back({d.unitKey, d.attemptNo, outcome, 0});
    put(topicLevel(d.port), text::DeviceEnded,
        deviceLine(text::DeviceEnded, m_run, d)
            .text("outcome", outcomeName(outcome))
            .number("exit_code", toInt(exitCodeOf(outcome)))
            .number("records_sent", d.progress.records)
            .number("records_total", d.totals.records)
            .number("data_bytes_sent", d.progress.dataBytes)
            .number("data_bytes_total", d.totals.dataBytes)
            .raw("seconds", decimals(d.progress.seconds, "%.3f"))
            .textOrNull("last_message", d.lastMessage())
            .textOrNull("serial", d.serial)
            .textOrNull("unit_key", d.unitKey)
            .numberOrNull("attempt", d.attemptNo)
            .textOrNull("recipe", d.recipe)
            .textOrNull("work_order", d.workOrder)
            .done());
}

void EventWriter::roundEnded(const RunReport& run) {
    if (m_ended) {
        return;
    }
    if (!m_started) {
        runStarted(&run);
    }
    m_devices.resize(run.devices.size());
    for (size_t i = 0; i < run.devices.size(); ++i) {
        if (!m_devices[i].ended) {
            // Refused before it began: no unit was touched, none failed.
            deviceEnded(i, run.devices[i], run.outcome, false);
        }
    }
    m_devices.clear();
}

std::string EventWriter::runEnded(int exitCode, const std::string& retry) {
    if (m_ended) {
        return {};
    }
    if (!m_started) {
        runStarted(nullptr);
    }
    m_ended = true;
    const UnitYield yield = unitYield(m_units);
    m_sink->put(text::RunTopic, text::RunEnded,
                Line(text::RunEnded, m_run, now())
                    .number("exit_code", exitCode)
                    .number("units_complete", m_complete)
                    .number("units_failed", m_failed)
                    .number("units", yield.units)
                    .number("first_pass", yield.firstPass)
                    .number("final", yield.final)
                    .textOrNull("retry", retry)
                    .done());
    return m_sink->finish();
}

void EventsView::runSaid(const std::string& text, Said how) {
    m_shown.runSaid(text, how);
    if (how != Said::Note) {
        m_events.message(text);
    }
}

void EventsView::devicesStarting(const RunReport& run) {
    m_shown.devicesStarting(run);
    m_events.devicesStarting(run);
}

void EventsView::deviceEvent(size_t index, const DeviceEvent& event, const DeviceReport& device) {
    m_shown.deviceEvent(index, event, device);
    m_events.deviceEvent(index, event, device);
}

} // namespace quill::events
