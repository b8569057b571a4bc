// SPDX-License-Identifier: MIT
#pragma once
// One download without a window, from the opening of the port to the end of
// the run: the download engine on a trace session's pieces, and what ends a
// run that nobody watches: a limit on the time between two messages sent
// (the device releases each record by its answer), a short wait
// for the device's answer to the last record before the port is closed, a
// lost port, a stop from outside (a signal). It says how the run ended as
// an outcome.
//
// Every front end without a window runs its downloads through it: quill-cli
// on one port, and each device of a run on several ports. They differ only
// in how they show what happens (the view, the boxes, the window controls).
//
//     HeadlessRun run(pieces, setup, view);
//     if (run.openPort() == PortOpening::Open) { run.startSoon(); loop.exec(); }
//     // ... view.runFinished(outcome) leaves the loop

#include "download/downloader.h"
#include "platform/eventqueue.h"
#include "run/enddecision.h"
#include "shared/module1.h"
#include "trace/tracesession.h"

#include <optional>
#include <string>
#include <string_view>

namespace quill {

// The platform pieces of one run; they outlive it.
struct RunPieces {
    MSComm& port;
    Timer& timer;      // the download's Timer1
    Timer& idle;       // the limit on the time without a message sent
    Timer& lastAnswer; // the wait for the device's answer to the last record
    Timer& settle;     // the wait for the line to settle before the download starts
    EventQueue& queue;
    MessageBoxes& boxes;
    WaitDialog& wait;
    HexFileSource& file;
    MainFormControls& form;
    TraceClock clock;
};

struct RunSetup {
    int16_t comPort = 1;
    int32_t baud = 0;
    int16_t deviceType = device_manual;
    std::string file{};
    int idleTimeoutSeconds = 0; // 0: the device may be silent for ever
    // After the port opens, what the device says for this long is thrown
    // away before the download starts: a device that talks when its line
    // opens must not be taken as answering the first request. 0: no wait.
    int settleMs = 0;
};

// What a front end shows of a run. Called on the run's thread.
class RunView {
  public:
    virtual ~RunView() = default;
    // A message of the run's own; an error shows even when the front end is quiet.
    virtual void runMessage(const std::string& text, bool error) = 0;
    // The download told how it ended, before any message about its end.
    virtual void downloadEnded(DownloadEnd /*end*/) {}
    // The run ends so; the device may still be given a moment to answer
    // the last record before runFinished.
    virtual void runEnding(Outcome /*outcome*/) {}
    // A question still waiting for its answer ends, as Cancel.
    virtual void stopAsking() {}
    // The device answered; its first record goes next (DownloadObserver::
    // deviceAnswered). An outcome ends the run there, nothing more sent.
    virtual std::optional<Outcome> deviceAnswered() { return std::nullopt; }
    // The device hears its first byte next (DownloadObserver::beforeFirstByte).
    // An outcome ends the run there: the device heard nothing.
    virtual std::optional<Outcome> beforeFirstByte() { return std::nullopt; }
    // The run is over: the front end leaves its event loop.
    virtual void runFinished(Outcome outcome) = 0;
};

enum class PortOpening { Open, SettingsRefused, OpenFailed };

class HeadlessRun final : private DownloadObserver, private WireTrace {
  public:
    HeadlessRun(RunPieces pieces, RunSetup setup, RunView& view);
    ~HeadlessRun() override;
    HeadlessRun(const HeadlessRun&) = delete;
    HeadlessRun& operator=(const HeadlessRun&) = delete;

    // As the COM Setup dialog's OK: select, configure with the device's
    // parity, open; through the trace, so that it shows. A failure is told
    // to the view and decides the outcome.
    PortOpening openPort();
    // "Start Download" from the event loop, once the caller has returned and
    // the line has settled.
    void startSoon();
    // Stops at once: nothing more goes to the device; `say` is shown first.
    // False when the run was already ending (it then only stops waiting for
    // the last answer).
    bool interrupt(std::string_view say = {});

    TraceSession& trace() { return m_trace; }
    const TraceSession& trace() const { return m_trace; }
    const Module1& state() const { return m_m; }
    // How it ended; Failure until something decided it.
    Outcome outcome() const { return m_end.outcome(); }
    bool decided() const { return m_end.decided(); }

  private:
    void start();
    void stopTalking();
    void finishSoon();
    void finish();
    void exitLoop();
    void restartIdle();
    void idleExpired();
    void portLost();

    void downloadEnded(DownloadEnd end) override;
    void deviceAnswered() override;
    void beforeFirstByte() override;
    void onTraceEvent(const TraceEvent& event) override;

    RunPieces m_pieces;
    const RunSetup m_setup;
    RunView& m_view;
    Module1 m_m;
    EndDecision m_end;
    TraceSession m_trace;
    Downloader m_downloader;
    bool m_finishing = false;
    bool m_heardSinceSent = false; // the device has spoken since the last message went out
    Outcome m_finalOutcome = Outcome::Failure;
};

} // namespace quill
