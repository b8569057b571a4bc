// SPDX-License-Identifier: MIT
#pragma once
// The history as a table for a window: attempts newest first, or as the
// store sorted them by a column (takeListing), one row each
// (time of the start in local time, port, file name, SHA-256 prefix,
// outcome, records, seconds, station, operator, serial, batch, the unit's
// number in its batch, the attempt's in its unit), kept up to date by what
// the store says has changed; and the search that narrows it to the rows
// whose texts contain a typed text.

#include "history/attempt.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <deque>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace quill {

class HistoryModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column {
        Time,
        Port,
        File,
        Sha256,
        Outcome,
        Records,
        Seconds,
        Station,
        Operator,
        Serial,
        Batch,
        Unit,
        AttemptNo, // its number in its unit
        Columns
    };

    // Whether a row's attempt failed (bool): a name this version does not
    // know is a failure too. A view tints such rows.
    static constexpr int FailedRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    // Attempts from the store: new ones take their place in the order
    // shown, known ones replace theirs.
    void take(std::vector<Attempt> attempts);
    // Every attempt, sorted by the store in `order`: they replace the rows,
    // and what comes in later is placed in that order.
    void takeListing(std::vector<Attempt> attempts, HistoryOrder order);
    HistoryOrder order() const { return m_order; }

    // What to ask the store for next (HistoryStore::changes): the ids
    // above this one, and the unfinished attempts shown.
    int64_t changesAfter() const;
    std::vector<int64_t> watched() const;

    const Attempt& attempt(int row) const { return m_rows[size_t(row)].attempt; }
    // Whether the row's port, file, outcome (its name or its words),
    // SHA-256, station, operator or batch contains `folded` (case-folded UTF-8).
    bool contains(int row, const std::string& folded) const;

    // A text as contains() takes it.
    static std::string folded(std::string text);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    struct Row {
        Attempt attempt;
        std::string searched; // the searched texts, case-folded
    };
    void add(std::deque<Row>::iterator at, Attempt attempt);
    void insert(Attempt attempt);
    void note(const Attempt& attempt);

    std::deque<Row> m_rows; // newest first
    std::unordered_set<int64_t> m_ids;
    std::set<int64_t> m_unfinished;
    int64_t m_newestId = 0;
    HistoryOrder m_order; // newest first
};

// The rows of a HistoryModel whose texts contain a typed text, any case.
class HistorySearch final : public QSortFilterProxyModel {
    Q_OBJECT

  public:
    explicit HistorySearch(HistoryModel* model, QObject* parent = nullptr);

    void setText(const QString& text);
    // The attempts of the rows shown, top to bottom.
    std::vector<Attempt> shown() const;

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    HistoryModel* m_model;
    std::string m_folded;
};

} // namespace quill
