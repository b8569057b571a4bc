// SPDX-License-Identifier: MIT
#pragma once
// The work order the station window runs, at the top of the window: a
// field a keyboard-wedge barcode scanner fills (it types the order's name,
// then Enter), and what the history says of that order: its recipe, the
// firmware's SHA-256 and the engineer's note. Every answer is looked up
// off the window's thread, anew: the order's progress too, which other
// stations of the line move. An order that is not there or not open is
// said plainly and selects nothing; an empty field, then Enter, goes back
// to no order. Kept in the settings file and looked up again next time:
//
//     [Station]
//     WORK_ORDER=4711

#include "platform/settingsstore.h"
#include "recipe/recipe.h"
#include "run/runrequest.h"

#include <QWidget>

#include <string>

class QLineEdit;
class QThreadPool;

namespace quill {

class Inbox;
class StationLabel;
struct OrderAnswer;

class StationOrder final : public QWidget {
    Q_OBJECT

  public:
    enum class State : uint8_t { Free, LookingUp, Selected };

    // The lookups run on `readers` and answer through `inbox`, which the
    // window waits for and keeps until it goes.
    StationOrder(const SettingsStore& store, QThreadPool& readers, Inbox& inbox, QWidget* parent);

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

    const SettingsStore& m_store;
    QThreadPool& m_readers;
    Inbox& m_inbox;
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
