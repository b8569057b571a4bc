// SPDX-License-Identifier: MIT
#include "ui/stationorder.h"

#include "history/historylocation.h"
#include "qt/handover.h"
#include "recipe/recipestore.h"
#include "ui/stationlabel.h"
#include "ui/uitexts.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QThreadPool>

#include <utility>

namespace quill {

// What the history said of an order, on the reader's thread.
struct OrderAnswer {
    enum class Found : uint8_t { Open, Closed, Unknown, NoRecipe, Retired, Failed };
    Found found = Found::Unknown;
    WorkOrder order;
    Recipe recipe;       // its firmware left out: the run loads it itself
    std::string problem; // Failed: the history's words
};

// The connection the lookups share, on the order's thread. Opening one
// brings the recipe tables up to date, a write: not every few seconds.
struct OrderReader {
    std::unique_ptr<RecipeStore> store;
    std::string at; // the history it is open on, as shown
};

namespace {

constexpr const char* section = "Station";
constexpr const char* keyOrder = "WORK_ORDER";
constexpr int shownSha256Digits = 12;

// The order `name` and, `withRecipe`, its recipe. A station whose own
// history file is not there yet holds no order: the file is not made here.
// A connection that failed is opened anew next time.
OrderAnswer lookUpOrder(OrderReader& reader, const HistoryLocation& where, const std::string& name,
                        bool withRecipe) {
    OrderAnswer a;
    if (where.kind == HistoryLocation::Kind::Sqlite &&
        !QFile::exists(QString::fromStdString(where.path))) {
        reader.store.reset();
        return a;
    }
    const auto failed = [&a, &reader](const HistoryError& e) {
        reader.store.reset();
        a.found = OrderAnswer::Found::Failed;
        a.problem = e.text();
        return a;
    };
    if (!reader.store || reader.at != where.shown()) {
        reader.store.reset();
        auto opened = RecipeStore::open(where);
        if (!opened) {
            return failed(opened.error());
        }
        reader.store = std::move(*opened);
        reader.at = where.shown();
    }
    RecipeStore* store = reader.store.get();
    auto order = store->order(name);
    if (!order) {
        return failed(order.error());
    }
    if (!*order) {
        return a;
    }
    a.order = std::move(**order);
    if (a.order.state != OrderState::Open) {
        a.found = OrderAnswer::Found::Closed;
        return a;
    }
    if (withRecipe) {
        auto recipe = store->find(RecipeRef{a.order.recipeName, a.order.recipeVersion});
        if (!recipe) {
            return failed(recipe.error());
        }
        if (!*recipe) {
            a.found = OrderAnswer::Found::NoRecipe;
            return a;
        }
        a.recipe = std::move(**recipe);
        a.recipe.firmware = {};
        if (a.recipe.state == RecipeState::Retired) {
            a.found = OrderAnswer::Found::Retired;
            return a;
        }
    }
    a.found = OrderAnswer::Found::Open;
    return a;
}

} // namespace

StationOrder::StationOrder(const SettingsStore& store, Inbox& inbox, QWidget* parent)
    : QWidget(parent), m_store(store), m_inbox(inbox), m_thread(std::make_unique<QThreadPool>()),
      m_reader(std::make_unique<OrderReader>()) {
    m_thread->setMaxThreadCount(1);
    m_thread->setExpiryTimeout(-1);
    setObjectName(QStringLiteral("StationOrder"));
    txtOrder = new QLineEdit(this);
    txtOrder->setObjectName(QStringLiteral("txtOrder"));
    txtOrder->setPlaceholderText(qtext(text::StationWorkOrderHint));
    auto* caption = new QLabel(qtext(text::StationWorkOrder), this);
    caption->setBuddy(txtOrder);
    lblOrder = stationLabel(this, "lblOrder", 1.2, true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption);
    layout->addWidget(txtOrder, 1);
    layout->addWidget(lblOrder, 3);
    connect(txtOrder, &QLineEdit::returnPressed, this, &StationOrder::entered);
}

StationOrder::~StationOrder() {
    finish();
}

void StationOrder::finish() {
    start([](OrderReader& reader) { reader.store.reset(); });
    m_thread->waitForDone();
}

void StationOrder::start(std::function<void(OrderReader&)> job) {
    startOn(*m_thread, [reader = m_reader.get(), job = std::move(job)] { job(*reader); });
}

void StationOrder::load() {
    const std::string name = m_store.GetSetting(section, keyOrder);
    if (!name.empty()) {
        txtOrder->setText(QString::fromStdString(name));
        lookUp(name);
    }
}

// An order still being looked up is kept too: it is looked up anew anyway.
void StationOrder::save(SettingsStore& store) const {
    const std::string name = m_state == State::Free ? std::string() : m_name;
    if (store.GetSetting(section, keyOrder) != name) {
        store.SaveSetting(section, keyOrder, name);
    }
}

// The recipe fixes the firmware and the settings of a run, and the run
// refuses any set beside it: of the window's choice only the ports and
// the batch go with the order.
RunRequest StationOrder::request(RunRequest chosen) const {
    if (m_state != State::Selected) {
        return chosen;
    }
    RunRequest r;
    r.program = chosen.program;
    r.ports = std::move(chosen.ports);
    r.batch = std::move(chosen.batch);
    r.workOrder = m_order.name;
    return r;
}

// The field keeps the focus, so a scanner's keys go nowhere else, and
// takes none of them.
void StationOrder::setRunning(bool running) {
    m_running = running;
    txtOrder->setReadOnly(running);
}

void StationOrder::takeFocus() {
    txtOrder->setFocus();
    // What the scanner types next replaces the order shown.
    txtOrder->selectAll();
}

void StationOrder::entered() {
    if (m_running) {
        return; // a scanner's Enter never changes what a round runs
    }
    const std::string name = txtOrder->text().trimmed().toStdString();
    if (name.empty()) {
        ++m_asked; // an answer still on its way selects nothing
        m_name.clear();
        m_state = State::Free;
        show({}, false);
        emit stateChanged();
        return;
    }
    lookUp(name);
}

// Nothing is selected until the history has answered: a Start meanwhile
// runs neither the order before nor the free choice.
void StationOrder::lookUp(const std::string& name) {
    const unsigned asked = ++m_asked;
    m_name = name;
    m_state = State::LookingUp;
    show(qtext(text::StationOrderLooking).arg(QString::fromStdString(name)), false);
    emit stateChanged();
    const HistoryResult<HistoryLocation> where = historyLocation(m_store);
    if (!where) {
        OrderAnswer failed;
        failed.found = OrderAnswer::Found::Failed;
        failed.problem = where.error().text();
        answered(failed);
        return;
    }
    start([this, asked, name, where = *where](OrderReader& reader) {
        OrderAnswer answer = lookUpOrder(reader, where, name, true);
        m_inbox.post([this, asked, answer = std::move(answer)] {
            if (asked == m_asked) {
                answered(answer);
            }
        });
    });
}

void StationOrder::answered(const OrderAnswer& a) {
    const QString name = QString::fromStdString(m_name);
    using Found = OrderAnswer::Found;
    if (a.found == Found::Open) {
        m_order = a.order;
        m_recipe = a.recipe;
        m_state = State::Selected;
        // In one go: a '%' in a name is no place for the next value.
        QString shown =
            qtext(text::StationOrderRecipe)
                .arg(QString::fromStdString(m_recipe.id()), QString::number(m_recipe.version),
                     QString::fromStdString(m_recipe.sha256.substr(0, shownSha256Digits)));
        if (!m_recipe.note.empty()) {
            shown += qtext(text::StationOrderNote).arg(QString::fromStdString(m_recipe.note));
        }
        show(shown, false);
        emit stateChanged();
        emit progressChanged();
        return;
    }
    m_state = State::Free;
    switch (a.found) {
    case Found::Closed:
        show(qtext(text::StationOrderClosed).arg(name), true);
        break;
    case Found::NoRecipe:
    case Found::Retired:
        show(qtext(a.found == Found::Retired ? text::StationOrderRetired
                                             : text::StationOrderNoRecipe)
                 .arg(name, QString::fromStdString(a.order.recipeName + "@" +
                                                   std::to_string(a.order.recipeVersion))),
             true);
        break;
    case Found::Failed:
        show(qtext(text::StationOrderUnreadable).arg(name, QString::fromStdString(a.problem)),
             true);
        break;
    default:
        show(qtext(text::StationOrderUnknown).arg(name), true);
        break;
    }
    emit stateChanged();
}

void StationOrder::refresh() {
    if (m_state != State::Selected) {
        return;
    }
    if (m_refreshing) {
        m_refreshAgain = true; // a unit may have ended after it was read
        return;
    }
    const HistoryResult<HistoryLocation> where = historyLocation(m_store);
    if (!where) {
        return;
    }
    m_refreshing = true;
    start([this, asked = m_asked, name = m_name, where = *where](OrderReader& reader) {
        OrderAnswer answer = lookUpOrder(reader, where, name, false);
        m_inbox.post([this, asked, answer = std::move(answer)] {
            m_refreshing = false;
            if (asked == m_asked && m_state == State::Selected) {
                refreshed(answer);
            }
            if (std::exchange(m_refreshAgain, false)) {
                refresh();
            }
        });
    });
}

// The progress as the line has it now; a history that did not answer
// leaves the last known.
void StationOrder::refreshed(const OrderAnswer& a) {
    if (a.found != OrderAnswer::Found::Open && a.found != OrderAnswer::Found::Closed) {
        return;
    }
    m_order.state = a.order.state;
    m_order.quantity = a.order.quantity;
    m_order.done = a.order.done;
    m_order.inProgress = a.order.inProgress;
    emit progressChanged();
}

void StationOrder::show(const QString& text, bool problem) {
    lblOrder->setWhole(text);
    lblOrder->setStyleSheet(problem ? QStringLiteral("color: #b71c1c;") : QString());
}

} // namespace quill
