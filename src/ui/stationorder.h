// SPDX-License-Identifier: MIT
#pragma once
// The work order the station window runs, at the top of the window: a
// field a keyboard-wedge barcode scanner fills (it types the order's name,
// then Enter), and what the history says of that order: its recipe, the
// firmware's SHA-256 and the engineer's note. Every answer is looked up
// anew off the window's thread, on one of the order's own that keeps its
// connection to the history between lookups: the order's progress, which
// other stations of the line move, is asked for every few seconds. An
// order that is not there or not open is said plainly and selects nothing;
// an empty field, then Enter, goes back to no order. Kept in the settings
// file and looked up again next time:
//
//     [Station]
//     WORK_ORDER=4711

#include "platform/settingsstore.h"
#include "recipe/recipe.h"
#include "run/runrequest.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QLineEdit;
class QThreadPool;

namespace quill {

class Inbox;
class StationLabel;
struct OrderAnswer;
struct OrderReader;

class StationOrder final : public QWidget {
    Q_OBJECT

  public:
    enum class State : uint8_t { Free, LookingUp, Selected };

    // The answers come through `inbox`, which is to outlive the lookups:
    // its owner calls finish() first.
    StationOrder(const SettingsStore& store, Inbox& inbox, QWidget* parent);
    ~StationOrder() override;
    // Waits for the lookups under way, and closes the connection.
    void finish();

    // The stored order, looked up anew.
    void load();
    void save(SettingsStore& store) const;

    State state() const { return m_state; }
    // Selected: the order, as last looked up, and its recipe without its firmware.
    const WorkOrder& order() const { return m_order; }
    const Recipe& recipe() const { return m_recipe; }
    // What a round runs: with an order selected, the order, and of `chosen`
    // only what the recipe leaves to the station.
    RunRequest request(RunRequest chosen) const;

    // While a round runs the field still takes what a scanner types, but
    // Enter selects nothing.
    void setRunning(bool running);
    void takeFocus();
    // The order's progress, looked up anew unless a lookup is under way.
    void refresh();

  signals:
    void stateChanged(); // selected, cleared, or being looked up
    void progressChanged();

  private:
    void entered();
    void lookUp(const std::string& name);
    void answered(const OrderAnswer& answer);
    void refreshed(const OrderAnswer& answer);
    void show(const QString& text, bool problem);

    void start(std::function<void(OrderReader&)> job);

    const SettingsStore& m_store;
    Inbox& m_inbox;
    std::unique_ptr<QThreadPool> m_thread; // one thread, kept: the connection's
    std::unique_ptr<OrderReader> m_reader; // only ever used there
    QLineEdit* txtOrder;
    StationLabel* lblOrder;
    State m_state = State::Free;
    std::string m_name; // looked up or selected
    WorkOrder m_order;
    Recipe m_recipe;
    unsigned m_asked = 0; // the newest lookup; older answers are dropped
    bool m_refreshing = false;
    bool m_refreshAgain = false; // asked while a refresh was on its way
    bool m_running = false;
};

} // namespace quill
