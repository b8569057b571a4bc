// SPDX-License-Identifier: MIT
#pragma once
// A run of downloads on one device or several, for every front end. What
// was asked is planned and checked at once; the hex file is checked once,
// before any port is touched, and that one reading names it by its SHA-256;
// the Manual prompt is asked once; then each device runs on a thread of its
// own and ends on its own, its report kept up to date here. Every device is
// a row of the history, begun before it hears a byte, and an attempt of its
// unit (new, or carried on from an earlier run) once it has heard one. What
// is drawn for a unit (its serial number, its number in the batch) is drawn
// only once its device has answered, just before its first record. A recipe
// (or a work order's) is found in the history's database before anything
// is planned, and its firmware read from memory; a unit of a work order
// takes its place in it just before its device hears its first byte. The front end sees
// the run through its view, on this thread: the devices' events arrive
// here queued.
//
//     Runner run(request, settings, boxes, keeper, view);
//     const RunReport& report = run.exec();   // interrupt(signal) from a handler meanwhile

#include "history/serialcounter.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "qt/handover.h"
#include "recipe/recipestore.h"
#include "run/runrequest.h"
#include "runner/devicethread.h"
#include "runner/recordkeeper.h"
#include "runner/runplan.h"
#include "shared/report.h"

#include <QEventLoop>
#include <QObject>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill {

class RunnerView {
  public:
    enum class Said {
        Note,    // about the run, not a message: the firmware it sends
        Message, // a message of the run's own
        Error,   // ... that shows even when the front end is quiet
        Problem, // what was asked cannot be done: nothing was started
    };
    virtual ~RunnerView() = default;
    virtual void runSaid(const std::string& text, Said how) = 0;
    // Why the Manual prompt could not be answered here; empty: it can.
    virtual std::string promptProblem() const { return {}; }
    // The devices are about to start, their reports as planned.
    virtual void devicesStarting(const RunReport& /*run*/) {}
    // An event of device `index`, once its report has taken it in.
    virtual void deviceEvent(size_t index, const DeviceEvent& event,
                             const DeviceReport& device) = 0;
    // A question still waiting for its answer ends, as Cancel.
    virtual void stopAsking() {}
};

class Runner {
  public:
    // `boxes` shows the file check's messages, answers its questions and
    // asks the Manual prompt; `settings` holds what the window program
    // stored: the defaults.
    Runner(const RunRequest& request, const SettingsStore& settings, MessageBoxes& boxes,
           RecordKeeper& keeper, RunnerView& view);
    ~Runner();
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // Runs to the end: every device has ended, and is on record.
    const RunReport& exec();
    // SIGINT or SIGTERM: every device stops; nothing more goes to any port.
    void interrupt(int signal);
    // The operator stops device `index` alone: nothing more goes to its
    // port; the others go on. Nothing when it has not started or has ended.
    void stopDevice(size_t index);
    const RunReport& report() const { return m_report; }
    // The devices were started: the run got past its checks and the prompt.
    bool devicesStarted() const { return !m_threads.empty(); }
    // A port on this machine could not be opened at all: where the ports
    // might be is worth saying.
    bool portNotOpened() const { return m_portNotOpened; }

  private:
    std::optional<Outcome> run();
    // Recipes and work orders (runnerrecipe.cpp).
    std::optional<Outcome> takeRecipe();
    std::optional<Outcome> findRecipe(const RecipeRef& ref);
    std::optional<Outcome> checkOrder();
    std::optional<Outcome> takePlace(size_t index);
    void settlePlace(size_t index);
    std::optional<Outcome> checkFile();
    bool readSerialList();
    std::optional<Outcome> drawSerials();
    std::optional<Outcome> prepareSerial(size_t index);
    UnitNumbers drawNumbers(size_t index);
    struct Numbered {
        std::optional<SerialValue> value;
        std::string written; // as the history keeps it
        std::string problem; // why it cannot go into the image
    };
    Numbered numbered(uint64_t drawn, bool erased) const;
    bool makeTraceFiles();
    std::string traceAbout() const;
    std::optional<Outcome> prompt();
    void startDevices();
    void onEvent(size_t index, const DeviceEvent& event);
    // The device's unit ends here, before it began, with `why` said.
    void refuseUnit(size_t index, const std::string& why);
    void show(const std::string& text);
    void say(const std::string& text, RunnerView::Said how);

    // As asked, then with what a recipe fixes put in.
    RunRequest m_request;
    const SettingsStore& m_settings;
    MessageBoxes& m_boxes;
    RecordKeeper& m_keeper;
    RunnerView& m_view;
    RunPlan m_plan;
    RunReport m_report;
    std::vector<std::string> m_serialList;          // --serial-list: its lines
    std::string m_serialListSha256;                 // ... and its series
    std::unique_ptr<SerialCounter> m_serialCounter; // while numbers are drawn
    uint64_t m_numbersAhead = 0;     // numbers this run will draw before the next device's
    std::vector<int> m_attemptsMade; // each unit's, before this run
    std::vector<std::optional<RecordKeeper::Row>> m_rows; // each device's, once begun
    std::vector<bool> m_recorded;                         // each device's row ended
    size_t m_ended = 0;
    bool m_portNotOpened = false;
    bool m_endNotRecorded = false;          // --require-history, and a device's end could not be
    std::unique_ptr<RecipeStore> m_recipes; // while a recipe or an order runs
    std::optional<Recipe> m_recipe;
    std::optional<WorkOrder> m_order;
    std::shared_ptr<const std::vector<uint8_t>> m_firmware; // the recipe's
    std::vector<bool> m_placeHeld; // each unit's place in the order, while it holds one
    Inbox m_main;                  // this thread's end of the devices' queued events
    QEventLoop m_loop;
    std::vector<std::unique_ptr<DeviceThread>> m_threads;
    std::vector<DeviceThread*> m_threadOf; // by device; none for one that never started
};

} // namespace quill
