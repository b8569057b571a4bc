// SPDX-License-Identifier: MIT
#pragma once
// Simulated time with an event queue, and what runs on it: Timer1, the
// message boxes and the Tracker wait dialog. The clock starts at a fixed
// epoch and moves only when events are run or time is advanced; nothing here
// reads the real clock. A modal call in the simulated world runs this loop
// until its box closes, as a nested event loop does in the real program.

#include "platform/messagebox.h"
#include "platform/timer.h"
#include "platform/waitdialog.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quill::sim {

using Ms = int64_t;

class SimLoop {
  public:
    static constexpr Ms epoch = 1'000'000;
    // A runaway loop (a modal box nobody closes) stops here.
    static constexpr Ms horizon = epoch + 24LL * 3600 * 1000;

    Ms now() const { return m_now; }
    Ms elapsed() const { return m_now - epoch; }

    uint64_t schedule(Ms delay, std::function<void()> fn) {
        m_queue.emplace(std::pair(m_now + std::max<Ms>(delay, 0), m_nextId), std::move(fn));
        return m_nextId++;
    }
    void cancel(uint64_t id) {
        std::erase_if(m_queue, [id](const auto& event) { return event.first.second == id; });
    }

    // Runs events in time order until `done` holds; false when the queue ran
    // dry or the horizon was reached first.
    bool runUntil(const std::function<bool()>& done) {
        while (!done() && runNext(horizon)) {
        }
        return done();
    }
    // Runs every event due within `duration`, then moves the clock to its end.
    void runFor(Ms duration) {
        const Ms end = m_now + duration;
        while (runNext(end)) {
        }
        m_now = std::max(m_now, end);
    }
    // Runs until no event is left (or the horizon).
    void runAll() {
        while (runNext(horizon)) {
        }
    }

  private:
    bool runNext(Ms limit) {
        if (m_queue.empty() || m_queue.begin()->first.first > limit) {
            return false;
        }
        auto event = m_queue.extract(m_queue.begin());
        m_now = event.key().first;
        event.mapped()();
        return true;
    }

    Ms m_now = epoch;
    uint64_t m_nextId = 1;
    // Ordered by (time, id): same-time events run in the order scheduled.
    std::map<std::pair<Ms, uint64_t>, std::function<void()>> m_queue;
};

// Timer1 on the simulated clock: it repeats until disabled.
class SimTimer final : public Timer {
  public:
    explicit SimTimer(SimLoop& loop) : m_loop(loop) {}
    ~SimTimer() override { m_loop.cancel(m_pending); }

    void setHandler(std::function<void()> onExpiry) override { m_handler = std::move(onExpiry); }
    void setInterval(int milliseconds) override { restart(milliseconds, m_enabled); }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override { restart(m_interval, enabled); }
    bool enabled() const override { return m_enabled; }

  private:
    void restart(int interval, bool enabled) {
        m_interval = interval;
        m_enabled = enabled;
        m_loop.cancel(m_pending);
        if (m_enabled && m_interval > 0) {
            m_pending = m_loop.schedule(m_interval, [this] {
                restart(m_interval, m_enabled);
                if (m_handler) {
                    m_handler();
                }
            });
        }
    }

    SimLoop& m_loop;
    std::function<void()> m_handler;
    int m_interval = 0;
    bool m_enabled = true; // as placed on the window: enabled, interval 0
    uint64_t m_pending = 0;
};

// Message boxes answered by a script. Each box is modal: the simulated loop
// runs while it is open, for as long as the script says the user reads it.
struct ShownBox {
    Ms shownAt;
    std::string text;
    MsgButtons buttons;
    MsgIcon icon;
    MsgResult defaultButton;
};

struct BoxAnswer {
    MsgResult result = MsgResult::Ok;
    Ms after = 0; // how long the box stays open
};

class SimBoxes final : public MessageBoxes {
  public:
    explicit SimBoxes(SimLoop& loop) : m_loop(loop) {}

    // The next boxes are answered in this order; afterwards OK at once.
    void answerNext(BoxAnswer answer) { m_script.push_back(answer); }
    // Called as each box opens, before the loop runs on.
    std::function<void(const ShownBox&)> onShow;

    MsgResult MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                     MsgResult defaultButton) override {
        const BoxAnswer answer = m_script.empty() ? BoxAnswer{} : m_script.front();
        if (!m_script.empty()) {
            m_script.pop_front();
        }
        m_shown.push_back({m_loop.now(), text, buttons, icon, defaultButton});
        if (onShow) {
            onShow(m_shown.back());
        }
        bool closed = false;
        m_loop.schedule(answer.after, [&closed] { closed = true; });
        m_loop.runUntil([&closed] { return closed; });
        return buttons == MsgButtons::Ok ? MsgResult::Ok : answer.result;
    }

    const std::vector<ShownBox>& shown() const { return m_shown; }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const ShownBox& box : m_shown) {
            out.push_back(box.text);
        }
        return out;
    }

  private:
    SimLoop& m_loop;
    std::deque<BoxAnswer> m_script;
    std::vector<ShownBox> m_shown;
};

// The Tracker wait dialog. Its user presses OK a while after the dialog has
// turned into an error report, or at a time a test sets; while it is
// waiting it takes no input.
class SimWaitDialog final : public WaitDialog {
  public:
    explicit SimWaitDialog(SimLoop& loop) : m_loop(loop) {}

    void setEventSink(WaitDialogEvents* sink) override { m_sink = sink; }
    void load() override {
        if (!m_loaded) {
            m_loaded = m_acknowledging = true;
            m_message = "Unknown error"; // as designed
        }
    }
    void setAcknowledging(bool acknowledging) override {
        load();
        m_acknowledging = acknowledging;
    }
    void showModal() override {
        load();
        ++m_shows;
        m_visible = true;
        m_loop.runUntil([this] { return !m_loaded; });
        m_visible = false;
    }
    void close() override { m_loaded = m_visible = false; }
    void setMessage(const std::string& text) override {
        load();
        m_message = text;
        m_reports.push_back(text);
        if (m_acknowledging && okAfter >= 0) {
            m_loop.schedule(okAfter, [this] { pressOk(); });
        }
    }

    // How long the user takes to press OK on an error report; < 0: never.
    Ms okAfter = 1000;
    // The user presses OK at this elapsed time, whatever the dialog shows.
    void pressOkAt(Ms elapsed) {
        m_loop.schedule(elapsed - m_loop.elapsed(), [this] { pressOk(); });
    }

    bool loaded() const { return m_loaded; }
    bool acknowledging() const { return m_acknowledging; }
    const std::string& message() const { return m_message; }
    int shows() const { return m_shows; }
    // Every error report shown, in order.
    const std::vector<std::string>& reports() const { return m_reports; }

  private:
    // OK can be pressed only on a shown dialog that accepts input.
    void pressOk() {
        if (m_visible && m_loaded && m_acknowledging && m_sink) {
            m_sink->frmWaitCom_cmdOK_Click();
        }
    }

    SimLoop& m_loop;
    WaitDialogEvents* m_sink = nullptr;
    bool m_loaded = false;
    bool m_acknowledging = true; // design-time value
    std::string m_message;
    int m_shows = 0;
    bool m_visible = false;
    std::vector<std::string> m_reports;
};

} // namespace quill::sim
