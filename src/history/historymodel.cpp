// SPDX-License-Identifier: MIT
#include "history/historymodel.h"

#include "history/historytexts.h"
#include "shared/outcome.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <cstring>

namespace quill {

namespace {

// PostgreSQL numbers a row when it is inserted, not when it is committed:
// a station's row may become visible after a higher number of another's.
// The last few numbers are asked for again, so that such a row is not
// passed over.
constexpr int64_t LateIds = 64;

// Unfinished attempts asked after, newest first. An older one is a station
// that lost power or a process that was killed: it will never end.
constexpr size_t WatchedAtMost = 500;

// A column sorts by the key of its own number.
static_assert(int(HistoryOrder::Key::Serial) == HistoryModel::Serial &&
              int(HistoryOrder::Key::Attempt) == HistoryModel::AttemptNo &&
              HistoryModel::AttemptNo + 1 == HistoryModel::Columns);

const std::array<const char*, HistoryModel::Columns> headers{
    text::HistoryHeaderTime,    text::HistoryHeaderPort,    text::HistoryHeaderFile,
    text::HistoryHeaderSha256,  text::HistoryHeaderOutcome, text::HistoryHeaderRecords,
    text::HistoryHeaderSeconds, text::HistoryHeaderStation, text::HistoryHeaderOperator,
    text::HistoryHeaderSerial,  text::HistoryHeaderBatch,   text::HistoryHeaderUnit,
    text::HistoryHeaderAttempt,
};

QString shown(const std::string& text) {
    return QString::fromStdString(text);
}

// The outcome in words for people; a name this version does not know as it
// stands.
std::string outcomeShown(const std::string& name) {
    const auto outcome = outcomeNamed(name);
    return outcome ? std::string(outcomeShortWords(*outcome)) : name;
}

bool failed(const Attempt& a) {
    const auto outcome = outcomeNamed(a.outcome);
    return !outcome || outcomeFailed(*outcome);
}

QString fileName(const std::string& path) {
    return shown(path.substr(path.find_last_of('/') + 1));
}

QString cell(const Attempt& a, int column) {
    switch (column) {
    case HistoryModel::Time:
        return QDateTime::fromMSecsSinceEpoch(a.startedMs)
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case HistoryModel::Port:
        return shown(a.port);
    case HistoryModel::File:
        return fileName(a.filePath);
    case HistoryModel::Sha256:
        return shown(a.sha256.substr(0, 12));
    case HistoryModel::Outcome:
        return shown(outcomeShown(a.outcome));
    case HistoryModel::Records:
        return QStringLiteral("%1/%2").arg(a.recordsSent).arg(a.recordsTotal);
    case HistoryModel::Seconds:
        return a.endedMs ? QString::number(double(*a.endedMs - a.startedMs) / 1000.0, 'f', 1)
                         : QString();
    case HistoryModel::Station:
        return shown(a.station);
    case HistoryModel::Operator:
        return shown(a.operatorName);
    case HistoryModel::Serial:
        return shown(a.serial);
    case HistoryModel::Batch:
        return shown(a.batch);
    case HistoryModel::Unit:
        return a.unit ? QString::number(*a.unit) : QString();
    case HistoryModel::AttemptNo: // none: it never reached a device
        return a.attemptNo ? QString::number(*a.attemptNo) : QString();
    default:
        return {};
    }
}

// The whole of what a cell shows in part.
QString tooltip(const Attempt& a, int column) {
    switch (column) {
    case HistoryModel::Port:
        return shown(a.port);
    case HistoryModel::File:
        return shown(a.filePath);
    case HistoryModel::Sha256:
        return shown(a.sha256);
    case HistoryModel::Outcome:
        return shown(a.lastMessage);
    default:
        return {};
    }
}

// Joined by line feeds, which a typed text cannot hold, so that no match
// spans two fields.
std::string searched(const Attempt& a) {
    const std::string words = outcomeShown(a.outcome);
    const std::array fields{&a.port,   &a.filePath, &a.outcome,      &words,
                            &a.sha256, &a.station,  &a.operatorName, &a.batch};
    size_t size = 0;
    for (const std::string* field : fields) {
        size += field->size() + 1;
    }
    std::string texts;
    texts.reserve(size);
    for (const std::string* field : fields) {
        texts += *field;
        texts += '\n';
    }
    return HistoryModel::folded(std::move(texts));
}

} // namespace

// Nearly every text is ASCII, which folds byte by byte; the rest goes the
// long way through Unicode's case folding.
std::string HistoryModel::folded(std::string text) {
    bool ascii = true;
    for (char& c : text) {
        ascii = ascii && (c & 0x80) == 0;
        c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    if (ascii) {
        return text;
    }
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toCaseFolded().toStdString();
}

void HistoryModel::take(std::vector<Attempt> attempts) {
    const auto inOrder = [this](const Attempt& a, const Attempt& b) {
        return before(m_order, a, b);
    };
    if (m_rows.empty() && !attempts.empty()) {
        // The store answers in order; sorting again would cost more than
        // the rest of this.
        if (!std::is_sorted(attempts.begin(), attempts.end(), inOrder)) {
            std::sort(attempts.begin(), attempts.end(), inOrder);
        }
        beginResetModel();
        for (Attempt& a : attempts) {
            add(m_rows.end(), std::move(a));
        }
        endResetModel();
        return;
    }
    for (Attempt& a : attempts) {
        if (!m_ids.contains(a.id)) {
            insert(std::move(a));
            continue;
        }
        const auto at = std::find_if(m_rows.begin(), m_rows.end(),
                                     [&](const Row& r) { return r.attempt.id == a.id; });
        // An attempt's start never changes, so in that order it keeps its
        // row; in another its place is found again.
        if (at->attempt != a && m_order.key != HistoryOrder::Key::Started) {
            const int n = int(at - m_rows.begin());
            beginRemoveRows({}, n, n);
            m_rows.erase(at);
            endRemoveRows();
            insert(std::move(a));
        } else if (at->attempt != a) {
            note(a);
            std::string texts = searched(a);
            *at = {std::move(a), std::move(texts)};
            const int n = int(at - m_rows.begin());
            emit dataChanged(index(n, 0), index(n, Columns - 1));
        }
    }
}

void HistoryModel::takeListing(std::vector<Attempt> attempts, HistoryOrder order) {
    beginResetModel();
    m_order = order;
    m_rows.clear();
    m_ids.clear();
    m_unfinished.clear();
    for (Attempt& a : attempts) {
        add(m_rows.end(), std::move(a));
    }
    endResetModel();
}

void HistoryModel::insert(Attempt attempt) {
    const auto at = std::lower_bound(
        m_rows.begin(), m_rows.end(), attempt,
        [this](const Row& r, const Attempt& b) { return before(m_order, r.attempt, b); });
    const int n = int(at - m_rows.begin());
    beginInsertRows({}, n, n);
    add(at, std::move(attempt));
    endInsertRows();
}

void HistoryModel::add(std::deque<Row>::iterator at, Attempt attempt) {
    m_ids.insert(attempt.id);
    note(attempt);
    std::string texts = searched(attempt);
    m_rows.insert(at, {std::move(attempt), std::move(texts)});
}

void HistoryModel::note(const Attempt& attempt) {
    m_newestId = std::max(m_newestId, attempt.id);
    if (attempt.outcome == outcomeName(Outcome::Unfinished)) {
        m_unfinished.insert(attempt.id);
    } else {
        m_unfinished.erase(attempt.id);
    }
}

int64_t HistoryModel::changesAfter() const {
    return std::max<int64_t>(0, m_newestId - LateIds);
}

std::vector<int64_t> HistoryModel::watched() const {
    std::vector<int64_t> ids(m_unfinished.rbegin(), m_unfinished.rend());
    ids.resize(std::min(ids.size(), WatchedAtMost));
    return ids;
}

bool HistoryModel::contains(int row, const std::string& folded) const {
    const std::string& texts = m_rows[size_t(row)].searched;
    return memmem(texts.data(), texts.size(), folded.data(), folded.size()) != nullptr;
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const Attempt& a = attempt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return cell(a, index.column());
    case Qt::ToolTipRole:
        return tooltip(a, index.column());
    case FailedRole:
        return failed(a);
    case Qt::TextAlignmentRole:
        return index.column() == Records || index.column() == Seconds || index.column() == Unit ||
                       index.column() == AttemptNo
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    default:
        return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < Columns) {
        return QString::fromLatin1(headers[size_t(section)]);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

HistorySearch::HistorySearch(HistoryModel* model, QObject* parent)
    : QSortFilterProxyModel(parent), m_model(model) {
    setSourceModel(model);
}

void HistorySearch::setText(const QString& text) {
    m_folded = HistoryModel::folded(text.toStdString());
    // Mapped afresh: invalidateFilter() takes the rows that no longer match
    // out one stretch at a time, which over 100,000 rows takes a quarter
    // of a second where this takes a hundredth.
    invalidate();
}

std::vector<Attempt> HistorySearch::shown() const {
    std::vector<Attempt> attempts;
    attempts.reserve(size_t(rowCount()));
    for (int r = 0; r < rowCount(); ++r) {
        attempts.push_back(m_model->attempt(mapToSource(index(r, 0)).row()));
    }
    return attempts;
}

bool HistorySearch::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    return m_model->contains(sourceRow, m_folded);
}

} // namespace quill
