// SPDX-License-Identifier: MIT
// The work orders, and the places their units take: an order of N units
// gives N places, however many stations and processes ask at once.
#include "recipe/recipestore.h"

#include "history/historysql.h"
#include "recipe/recipedb.h"
#include "recipe/recipeschema.h"
#include "recipe/recipetexts.h"
#include "shared/utf8text.h"

#include <QDateTime>

namespace quill {

using namespace sql;

namespace {

constexpr int64_t maxQuantity = 1'000'000'000;

QString qtext(const std::string& s) {
    return QString::fromStdString(utf8Text(s));
}

const QString held = QStringLiteral("held");
const QString kept = QStringLiteral("kept");

// The order with its counts, from its own row and its places.
QString selectOrders(const QString& where) {
    return QStringLiteral(
               "SELECT o.name, o.recipe_name, o.recipe_version, o.quantity, o.state, o.opened_by, "
               "o.station, o.opened_ms, "
               "(SELECT COUNT(*) FROM quill_order_place p WHERE p.order_name = o.name AND "
               "p.state = 'kept'), "
               "(SELECT COUNT(*) FROM quill_order_place p WHERE p.order_name = o.name AND "
               "p.state = 'held') "
               "FROM quill_work_order o %1")
        .arg(where);
}

WorkOrder readOrder(const QSqlQuery& q) {
    WorkOrder o;
    o.name = q.value(0).toString().toStdString();
    o.recipeName = q.value(1).toString().toStdString();
    o.recipeVersion = q.value(2).toInt();
    o.quantity = q.value(3).toLongLong();
    o.state = q.value(4).toString() == recipeschema::orderStateName(OrderState::Closed)
                  ? OrderState::Closed
                  : OrderState::Open;
    o.openedBy = q.value(5).toString().toStdString();
    o.station = q.value(6).toString().toStdString();
    o.openedMs = q.value(7).toLongLong();
    o.done = q.value(8).toLongLong();
    o.inProgress = q.value(9).toLongLong();
    return o;
}

} // namespace

HistoryResult<std::optional<RecipeState>> RecipeStore::stateOf(const std::string& name,
                                                               int version) {
    QSqlQuery q(m->db());
    if (!runBound(q,
                  QStringLiteral("SELECT state FROM quill_recipe WHERE name = ? AND version = ?"),
                  {qtext(name), version})) {
        return m->failure(text::RecipeNotRead, reasonOf(q.lastError()));
    }
    if (!q.next()) {
        return std::optional<RecipeState>();
    }
    return std::optional<RecipeState>(q.value(0).toString() ==
                                              recipeschema::recipeStateName(RecipeState::Retired)
                                          ? RecipeState::Retired
                                          : RecipeState::Released);
}

HistoryStatus RecipeStore::openOrder(const WorkOrder& order) {
    if (order.quantity < 1 || order.quantity > maxQuantity) {
        return m->failure(text::OrderNotOpened, QString::fromLatin1(text::OrderBadQuantity));
    }
    const std::string recipe = order.recipeName + '@' + std::to_string(order.recipeVersion);
    return m->write(text::OrderNotOpened, 0, [&](QSqlQuery& q, QString& why) {
        if (!runBound(q,
                      QStringLiteral("SELECT state FROM quill_recipe WHERE name = ? AND "
                                     "version = ?"),
                      {qtext(order.recipeName), order.recipeVersion})) {
            return false;
        }
        if (!q.next()) {
            why = QLatin1String(text::RecipeNoSuch) + QString::fromStdString(recipe);
        } else if (q.value(0).toString() != recipeschema::recipeStateName(RecipeState::Released)) {
            why = QString::fromStdString(recipe) + QLatin1String(text::RecipeNotReleased);
        }
        q.finish();
        if (!why.isEmpty() ||
            !runBound(q, QStringLiteral("SELECT 1 FROM quill_work_order WHERE name = ?"),
                      {qtext(order.name)})) {
            return false;
        }
        if (q.next()) {
            why = QString::fromLatin1(text::OrderExists);
            return false;
        }
        q.finish();
        return runBound(q,
                        QStringLiteral("INSERT INTO quill_work_order (name, recipe_name, "
                                       "recipe_version, quantity, taken, state, opened_by, "
                                       "station, opened_ms) VALUES (?, ?, ?, ?, 0, ?, ?, ?, ?)"),
                        {qtext(order.name), qtext(order.recipeName), order.recipeVersion,
                         qlonglong(order.quantity), recipeschema::orderStateName(OrderState::Open),
                         qtext(order.openedBy), qtext(order.station), qlonglong(order.openedMs)});
    });
}

HistoryResult<bool> RecipeStore::closeOrder(const std::string& name) {
    return m->updateRows(text::OrderNotChanged,
                         QStringLiteral("UPDATE quill_work_order SET state = ? WHERE name = ?"),
                         {recipeschema::orderStateName(OrderState::Closed), qtext(name)});
}

HistoryResult<std::vector<WorkOrder>> RecipeStore::orders() {
    QSqlQuery q(m->db());
    q.setForwardOnly(true);
    if (!run(q, selectOrders(QStringLiteral("ORDER BY o.opened_ms DESC, o.name")))) {
        return m->failure(text::OrderNotRead, reasonOf(q.lastError()));
    }
    std::vector<WorkOrder> rows;
    while (q.next()) {
        rows.push_back(readOrder(q));
    }
    return rows;
}

HistoryResult<std::optional<WorkOrder>> RecipeStore::order(const std::string& name) {
    QSqlQuery q(m->db());
    if (!runBound(q, selectOrders(QStringLiteral("WHERE o.name = ?")), {qtext(name)})) {
        return m->failure(text::OrderNotRead, reasonOf(q.lastError()));
    }
    return q.next() ? std::optional<WorkOrder>(readOrder(q)) : std::optional<WorkOrder>();
}

HistoryResult<std::vector<OrderStationCount>> RecipeStore::orderStations(const std::string& name) {
    QSqlQuery q(m->db());
    q.setForwardOnly(true);
    if (!runBound(q,
                  QStringLiteral("SELECT station, "
                                 "SUM(CASE WHEN state = 'kept' THEN 1 ELSE 0 END), "
                                 "SUM(CASE WHEN state = 'held' THEN 1 ELSE 0 END) "
                                 "FROM quill_order_place WHERE order_name = ? "
                                 "GROUP BY station ORDER BY station"),
                  {qtext(name)})) {
        return m->failure(text::OrderNotRead, reasonOf(q.lastError()));
    }
    std::vector<OrderStationCount> rows;
    while (q.next()) {
        rows.push_back({q.value(0).toString().toStdString(), q.value(1).toLongLong(),
                        q.value(2).toLongLong()});
    }
    return rows;
}

// The order's row is the lock: PostgreSQL's row lock (FOR UPDATE, then the
// update) and SQLite's write lock serialize every place of one order, and
// the update itself refuses to take more than the quantity.
HistoryResult<PlaceAnswer> RecipeStore::takePlace(const std::string& order,
                                                  const std::string& unitKey,
                                                  const std::string& attemptKey,
                                                  const std::string& station) {
    PlaceAnswer answer = PlaceAnswer::NoOrder;
    HistoryStatus failed = m->write(text::OrderNotChanged, 0, [&](QSqlQuery& q, QString&) {
        const QString lock = m->postgres ? QStringLiteral(" FOR UPDATE") : QString();
        if (!runBound(q, QStringLiteral("SELECT state FROM quill_work_order WHERE name = ?") + lock,
                      {qtext(order)})) {
            return false;
        }
        if (!q.next()) {
            answer = PlaceAnswer::NoOrder;
            return true;
        }
        const bool open = q.value(0).toString() == recipeschema::orderStateName(OrderState::Open);
        q.finish();
        if (!runBound(q,
                      QStringLiteral("SELECT 1 FROM quill_order_place WHERE order_name = ? AND "
                                     "unit_key = ?"),
                      {qtext(order), qtext(unitKey)})) {
            return false;
        }
        if (q.next()) {
            answer = PlaceAnswer::Taken; // asked twice: still one place
            return true;
        }
        q.finish();
        if (!open) {
            answer = PlaceAnswer::Closed;
            return true;
        }
        if (!runBound(q,
                      QStringLiteral("UPDATE quill_work_order SET taken = taken + 1 WHERE name = ? "
                                     "AND state = 'open' AND taken < quantity"),
                      {qtext(order)})) {
            return false;
        }
        if (q.numRowsAffected() != 1) {
            answer = PlaceAnswer::Full;
            return true;
        }
        answer = PlaceAnswer::Taken;
        return runBound(q,
                        QStringLiteral("INSERT INTO quill_order_place (order_name, unit_key, "
                                       "attempt_key, station, state, taken_ms) VALUES (?, ?, ?, "
                                       "?, ?, ?)"),
                        {qtext(order), qtext(unitKey), qtext(attemptKey), qtext(station), held,
                         QDateTime::currentMSecsSinceEpoch()});
    });
    if (failed) {
        return *failed;
    }
    return answer;
}

HistoryStatus RecipeStore::keepPlace(const std::string& order, const std::string& unitKey) {
    return m->write(text::OrderNotChanged, 0, [&](QSqlQuery& q, QString& why) {
        if (!runBound(q,
                      QStringLiteral("UPDATE quill_order_place SET state = ? WHERE order_name = ? "
                                     "AND unit_key = ?"),
                      {kept, qtext(order), qtext(unitKey)})) {
            return false;
        }
        if (q.numRowsAffected() != 1) {
            why = QString::fromLatin1(text::PlaceNotHeld);
            return false;
        }
        return true;
    });
}

HistoryStatus RecipeStore::givePlace(const std::string& order, const std::string& unitKey) {
    // A place kept by a complete unit is never given back; giving twice
    // frees one place once.
    return m->write(text::OrderNotChanged, 0, [&](QSqlQuery& q, QString&) {
        if (!runBound(q,
                      QStringLiteral("DELETE FROM quill_order_place WHERE order_name = ? AND "
                                     "unit_key = ? AND state = ?"),
                      {qtext(order), qtext(unitKey), held})) {
            return false;
        }
        if (q.numRowsAffected() != 1) {
            return true;
        }
        return runBound(q,
                        QStringLiteral("UPDATE quill_work_order SET taken = taken - 1 WHERE "
                                       "name = ?"),
                        {qtext(order)});
    });
}

} // namespace quill
