// SPDX-License-Identifier: MIT
// The end of a headless run on simulated time: how each road ends (exit
// code, outcome, the run's own messages), when the run lets go of its loop,
// and that nothing goes to the device after the run has decided to stop.

#include "download/downloadtexts.h"
#include "run/headlessrun.h"
#include "run/runtexts.h"
#include "simworld.h"

#include <gtest/gtest.h>

#include <optional>

namespace quill::sim {
namespace {

// Calls posted to the simulated loop; those still queued die with it.
class SimEventQueue final : public EventQueue {
  public:
    explicit SimEventQueue(SimLoop& loop) : m_loop(loop) {}
    ~SimEventQueue() override {
        for (const uint64_t id : m_pending) {
            m_loop.cancel(id);
        }
    }
    void post(std::function<void()> call) override {
        m_pending.push_back(m_loop.schedule(0, std::move(call)));
    }

  private:
    SimLoop& m_loop;
    std::vector<uint64_t> m_pending;
};

struct SeenView final : RunView, WireTrace {
    explicit SeenView(SimLoop& loop) : loop(loop) {}
    void runMessage(const std::string& text, bool error) override {
        messages.push_back((error ? "error: " : "") + text);
    }
    void runFinished(Outcome outcome) override {
        finished = outcome;
        finishedAt = loop.elapsed();
    }
    void onTraceEvent(const TraceEvent& event) override {
        closedAt = event.kind == TraceKind::PortClosed ? loop.elapsed() : closedAt;
    }
    std::optional<Outcome> deviceAnswered() override {
        ++answered;
        return refuseAtAnswer;
    }
    SimLoop& loop;
    std::optional<Outcome> refuseAtAnswer; // the unit's number cannot be had
    int answered = 0;
    std::vector<std::string> messages;
    std::optional<Outcome> finished;
    Ms finishedAt = -1;
    Ms closedAt = -1;
};

// Four records: three data records and the end record.
const std::string firmware = dataRecord(0x0000, {1, 2, 3, 4}) + "\r\n" +
                             dataRecord(0x0004, {5, 6, 7, 8}) + "\r\n" +
                             dataRecord(0x0008, {9, 10}) + "\r\n:00000001FF\r\n";

struct RunWorld {
    RunWorld(const devsim::Config& device, int idleSeconds, int settleMs = 0) {
        world.connect(device);
        world.port.setCommPort(1);
        setup.file = world.chooseFile(firmware);
        setup.deviceType = device.kind == devsim::Kind::Tracker ? device_tracker : device_manual;
        setup.idleTimeoutSeconds = idleSeconds;
        setup.settleMs = settleMs;
        run.emplace(RunPieces{world.port, world.timer, idle, lastAnswer, settle, queue, world.boxes,
                              world.waitDialog, world.file, world.form,
                              [this] { return world.loop.now() * 1000; }},
                    setup, view);
        run->trace().addObserver(&view);
    }
    SimWorld world;
    SimTimer idle{world.loop};
    SimTimer lastAnswer{world.loop};
    SimTimer settle{world.loop};
    SimEventQueue queue{world.loop};
    SeenView view{world.loop};
    RunSetup setup{.comPort = 1, .baud = 38400};
    std::optional<HeadlessRun> run;
};

struct RunCase {
    const char* name;
    devsim::Config device;
    int idleSeconds;
    // What happens from outside during the run, at an elapsed time.
    std::function<void(RunWorld&)> script;
    std::optional<Outcome> outcome; // empty: the run never ends by itself
    std::string message;            // the run's own, if any
    // When the run lets go of its loop, after the last write: [min, max] ms.
    Ms finishedFrom;
    Ms finishedBy;
    friend void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }
};

using enum devsim::Fault;
using enum devsim::Kind;

devsim::Config silentAfter(int records) {
    return {.fault = SilentAfterRecords, .silentAfter = records};
}

const devsim::Config slowRecords{.recordWriteMs = 100};
const devsim::Config chatty{.fault = XonOnlyAfterRecord};
const devsim::Config nakTracker{.kind = Tracker, .fault = SelectNak};

std::function<void(RunWorld&)> at(Ms elapsed, std::function<void(RunWorld&)> action) {
    return [elapsed, action](RunWorld& w) {
        w.world.loop.schedule(elapsed, [&w, action] { action(w); });
    };
}

const std::string idleText = std::string("error: ") + text::IdlePrefix + "1" + text::IdleSuffix +
                             "\r" + text::DownloadStopped;
const std::string lostText = std::string("error: ") + text::LostBeforeLastAnswer;

auto none = [](RunWorld&) {};
// The device says XON again and again and never releases the next record.
auto chatter = [](RunWorld& w) {
    for (Ms t = 100; t < 5000; t += 300) {
        w.world.loop.schedule(t, [&w] { w.world.port.deliver(0, {0x11}); });
    }
};
auto unplugAt(Ms elapsed) {
    return at(elapsed, [](RunWorld& w) { w.world.port.unplug(0); });
}
auto interruptAt(Ms elapsed, bool stops) {
    return at(elapsed, [stops](RunWorld& w) { EXPECT_EQ(w.run->interrupt("stop"), stops); });
}
using enum Outcome;

// name, device, idle limit, script, outcome, the run's own
// message, and when it lets go of its loop after the last write. A device
// that never answers the end record is waited for 2 s, no longer; lost
// after "Download complete" but before that answer, the firmware is not known
// to be whole; interrupted while waiting for it, it was.
const RunCase cases[] = {
    {"ManualComplete", {}, 60, none, Complete, "", 0, 100},
    {"LastRecordUnanswered", silentAfter(3), 60, none, Complete, "", 2000, 2100},
    {"SilentMidTransfer", silentAfter(1), 1, none, IdleTimeout, idleText, 1000, 1100},
    {"SilentWithoutLimit", silentAfter(1), 0, none, std::nullopt, "", 0, 0},
    {"TalksWithoutReleasing", chatty, 1, chatter, IdleTimeout, idleText, 1000, 1100},
    {"NoEraseAnswer", {.fault = NoEraseXoff}, 60, none, NoEraseAnswer, "", 500, 600},
    {"PortLostMidTransfer", slowRecords, 60, unplugAt(150), PortFailure, "", 0, 100},
    {"PortLostBeforeLastAnswer", silentAfter(3), 60, unplugAt(500), PortFailure, lostText, 400,
     600},
    {"InterruptedMidTransfer", slowRecords, 60, interruptAt(150, true), Interrupted, "error: stop",
     0, 100},
    {"InterruptedWaitingForLastAnswer", silentAfter(3), 60, interruptAt(500, false), Complete, "",
     400, 600},
    {"TrackerErrorThenComplete", nakTracker, 60, none, Complete, text::CompletedAfterTrackerError,
     0, 100},
    {"TrackerSilent", {.kind = Tracker, .fault = Silent}, 60, none, TrackerHandshake, "", 500, 600},
};

class RunEnds : public testing::TestWithParam<RunCase> {};

TEST_P(RunEnds, EndAsTheRoadSays) {
    const RunCase& c = GetParam();
    RunWorld w(c.device, c.idleSeconds);
    if (c.device.kind == Tracker) {
        w.world.waitDialog.okAfter = 100;
    }
    ASSERT_EQ(w.run->openPort(), PortOpening::Open);
    w.run->startSoon();
    c.script(w);
    w.world.loop.runFor(3600 * 1000);

    ASSERT_FALSE(w.world.port.writes().empty());
    const Ms lastWrite = w.world.port.writes().back().at - SimLoop::epoch;
    EXPECT_EQ(w.view.finished, c.outcome);
    EXPECT_EQ(w.view.messages,
              c.message.empty() ? std::vector<std::string>{} : std::vector{c.message});
    if (!c.outcome) {
        EXPECT_TRUE(w.world.port.portOpen()); // still waiting, as the window would
        return;
    }
    EXPECT_EQ(w.run->outcome(), c.outcome);
    EXPECT_GE(w.view.finishedAt - lastWrite, c.finishedFrom);
    EXPECT_LE(w.view.finishedAt - lastWrite, c.finishedBy);
    if (*c.outcome == Interrupted || *c.outcome == IdleTimeout) {
        // Stopped: the port closed (through the trace), nothing written after.
        EXPECT_FALSE(w.world.port.portOpen());
        EXPECT_GE(w.view.closedAt, lastWrite);
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, RunEnds, testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RunStart, RefusedBeforeAnythingIsSent) {
    // The prompt answered no; a port that cannot be opened; a stop before the start.
    {
        RunWorld w({}, 60);
        w.world.boxes.answerNext({MsgResult::Cancel});
        ASSERT_EQ(w.run->openPort(), PortOpening::Open);
        w.run->startSoon();
        w.world.loop.runAll();
        EXPECT_EQ(w.view.finished, Outcome::Cancelled);
        EXPECT_EQ(w.view.messages, std::vector<std::string>{text::NotStarted});
        EXPECT_TRUE(w.world.port.writes().empty());
    }
    {
        RunWorld w({}, 60);
        w.world.port.present.clear();
        EXPECT_EQ(w.run->openPort(), PortOpening::OpenFailed);
        EXPECT_EQ(w.run->outcome(), Outcome::PortFailure);
        ASSERT_EQ(w.view.messages.size(), 1U);
        EXPECT_TRUE(w.view.messages[0].starts_with(std::string("error: ") + text::PortOpenFailed));
    }
    {
        RunWorld w({}, 60);
        ASSERT_EQ(w.run->openPort(), PortOpening::Open);
        w.run->startSoon();
        EXPECT_TRUE(w.run->interrupt());
        w.world.loop.runAll();
        EXPECT_EQ(w.view.finished, Outcome::Interrupted);
        EXPECT_TRUE(w.world.port.writes().empty());
        EXPECT_TRUE(w.world.boxes.shown().empty());
    }
}

// The device answered, once, before the first record: when its owner cannot
// give the unit its number then, nothing after the erase request goes out,
// the run ends as the owner said, and the port is closed.
TEST(RunStart, TheOwnerMayEndItWhenTheDeviceAnswers) {
    for (const std::optional<Outcome> refused :
         {std::optional<Outcome>(), std::optional(SerialUnusable)}) {
        RunWorld w({}, 60);
        w.view.refuseAtAnswer = refused;
        ASSERT_EQ(w.run->openPort(), PortOpening::Open);
        w.run->startSoon();
        w.world.loop.runFor(3600 * 1000);
        EXPECT_EQ(w.view.answered, 1);
        EXPECT_EQ(w.view.finished, refused.value_or(Complete));
        EXPECT_EQ(w.world.port.writes().size(), refused ? 1U : 5U);
        EXPECT_EQ(w.world.port.portOpen(), !refused);
        EXPECT_EQ(w.world.boxes.shown().size(), refused ? 1U : 2U); // the prompt; complete
    }
}

// A device that says XOFF XON 1 ms after its line opens (its own start) and
// is then too busy to hear the first request: the run lets the line settle,
// throws that away, and no record goes out before the device's real answer.
TEST(RunStart, TheLineSettlesBeforeTheFirstMessage) {
    for (const bool answersLater : {false, true}) {
        SCOPED_TRACE(answersLater ? "answers the erase request" : "too busy to answer");
        RunWorld w({.fault = answersLater ? None : StaleXoffXon}, 60, 250);
        ASSERT_EQ(w.run->openPort(), PortOpening::Open);
        w.world.port.deliver(1, {0x13, 0x11}); // an XOFF XON from its start
        w.run->startSoon();
        w.world.loop.runFor(3600 * 1000);
        ASSERT_FALSE(w.world.port.writes().empty());
        EXPECT_GE(w.world.port.writes().front().at - SimLoop::epoch, 250);
        EXPECT_EQ(w.world.port.discards, 2); // after the settling, and before the erase request
        EXPECT_EQ(w.view.finished, answersLater ? Outcome::Complete : Outcome::NoEraseAnswer);
        EXPECT_EQ(w.world.port.writes().size(), answersLater ? 5U : 1U);
    }
}

// The outcome and the exit code that scripts, the JSON and the history read
// for each end of a download, also where no run decided it first (a write
// that fails), and for each end a run decides; and back from the name.
TEST(RunOutcome, EachEndHasItsNameAndExitCode) {
    std::string all;
    for (int e = 0; e <= static_cast<int>(DownloadEnd::Interrupted); ++e) {
        const Outcome o = outcomeOf(static_cast<DownloadEnd>(e));
        all += std::string(outcomeName(o)) + "=" + std::to_string(toInt(exitCodeOf(o))) + " ";
    }
    EXPECT_EQ(all, "complete=0 bad_record=4 no_records=4 no_end_record=4 records_after_end=4 "
                   "file_error=3 file_changed=4 no_erase_answer=6 tracker_handshake=7 "
                   "port_failure=5 cancelled=9 superseded=1 interrupted=130 ");
    all.clear();
    for (int o = 0; o <= static_cast<int>(Outcome::OrderComplete); ++o) {
        const auto outcome = static_cast<Outcome>(o);
        EXPECT_EQ(outcomeNamed(outcomeName(outcome)), outcome);
        all += std::string(outcomeName(outcome)) + "=" +
               std::to_string(toInt(exitCodeOf(outcome))) + " ";
    }
    EXPECT_EQ(all, "complete=0 bad_record=4 no_records=4 no_end_record=4 records_after_end=4 "
                   "file_changed=4 unexpected_firmware=4 file_error=3 no_erase_answer=6 "
                   "tracker_handshake=7 port_failure=5 cancelled=9 idle_timeout=8 "
                   "interrupted=130 superseded=1 history_failed=11 usage=2 devices_differ=10 "
                   "failure=1 unfinished=1 serial_unusable=4 events_failed=12 order_complete=13 ");
}

} // namespace
} // namespace quill::sim
