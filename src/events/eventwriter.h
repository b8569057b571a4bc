// SPDX-License-Identifier: MIT
#pragma once
// The live events of a quill-cli process, for line-control software: one
// JSON object per line as each device moves, made from what the run
// already knows (each device's report and event, the run's report) and
// handed to a sink (eventsink.h). Every line has the schema's version "v",
// "event", "time" (UTC, ms) and "run" (an id of this process); a device's
// events add "port", "unit" and "batch". The published schema,
// data/quill-events.schema.json, describes every field.
//
// A process is one run: run_started, then round after round (one, or each
// of --repeat) device_started, phase, progress, message and device_ended
// for each device, then run_ended. The run's own messages that come before
// the file has been checked wait until run_started, which names the file
// by that check, is written.
//
//     EventWriter events(std::move(sink), options);
//     EventsView view(consoleView, events);   // the run's view, events beside it
//     Runner run(options, settings, boxes, keeper, view);
//     events.roundEnded(run.exec());
//     const std::string undelivered = events.runEnded(status, retry);

#include "events/eventsink.h"
#include "history/unityield.h"
#include "run/runrequest.h"
#include "runner/runner.h"
#include "shared/report.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill::events {

// Whether a device's progress is worth an event: the first time records go
// out, at each tenth of the records and at least once a second after, but
// never sooner than a quarter of a second after the last, so never more
// than four a second. A tenth passed too soon goes with the next event
// allowed.
class ProgressGate {
  public:
    static constexpr int64_t minimumMs = 250;
    static constexpr int64_t maximumMs = 1000;

    // `ms` on a steady clock; `tenth`: tenths of the records sent, 0 to 10.
    bool pass(int64_t ms, int tenth);

  private:
    std::optional<int64_t> m_lastMs;
    int m_tenth = 0;
};

class EventWriter {
  public:
    // `request`: what the run was asked (the file, the ports as given, the batch).
    EventWriter(std::unique_ptr<Sink> sink, const RunRequest& request);
    ~EventWriter();
    EventWriter(const EventWriter&) = delete;
    EventWriter& operator=(const EventWriter&) = delete;

    // A message of the run's own (of no device), as it is shown.
    void message(const std::string& text);
    // A round's devices are about to start.
    void devicesStarting(const RunReport& run);
    void deviceEvent(size_t index, const DeviceEvent& event, const DeviceReport& device);
    // A round has ended: every device that has not ended yet (it never
    // began) ends as its report says.
    void roundEnded(const RunReport& run);
    // The process ends with `exitCode`; `retry` is the command it offered
    // (empty: none). What could not be delivered, in words, or empty.
    std::string runEnded(int exitCode, const std::string& retry);

  private:
    struct Device {
        bool ended = false;
        ProgressGate gate;
    };

    void runStarted(const RunReport* run);
    // `otherwise`: the outcome of a device whose report has none; `began`:
    // it was started (a device refused before it began is no failed unit).
    void deviceEnded(size_t index, const DeviceReport& device, Outcome otherwise, bool began);
    void put(const std::string& about, const char* event, const std::string& line);

    std::unique_ptr<Sink> m_sink;
    const RunRequest& m_request;
    const std::string m_run;   // this process's id
    const std::string m_begun; // when the run began
    bool m_started = false;    // run_started is written
    bool m_ended = false;      // run_ended is written
    struct Held {
        std::string about;
        const char* event;
        std::string line;
    };
    std::vector<Held> m_held; // until run_started
    std::vector<Device> m_devices;
    int64_t m_complete = 0;
    int64_t m_failed = 0;
    std::vector<UnitRow> m_units; // every device ended, for the run's yield
};

// The run's view as the front end has it, the events written beside each
// of its calls: attached in one place, the view itself untouched.
class EventsView final : public RunnerView {
  public:
    EventsView(RunnerView& shown, EventWriter& events) : m_shown(shown), m_events(events) {}

    void runSaid(const std::string& text, Said how) override;
    std::string promptProblem() const override { return m_shown.promptProblem(); }
    void devicesStarting(const RunReport& run) override;
    void deviceEvent(size_t index, const DeviceEvent& event, const DeviceReport& device) override;
    void stopAsking() override { m_shown.stopAsking(); }

  private:
    RunnerView& m_shown;
    EventWriter& m_events;
};

} // namespace quill::events
