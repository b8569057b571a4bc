// SPDX-License-Identifier: MIT
#include "ui/frmhistory.h"

#include "history/historyformat.h"
#include "history/historymodel.h"
#include "history/historyports.h"
#include "history/historyreader.h"
#include "history/historyyield.h"
#include "ui/historywindowtexts.h"
#include "ui/portstab.h"
#include "ui/qtmessageboxes.h"
#include "ui/twips.h"
#include "ui/uitexts.h"
#include "ui/yieldtab.h"

#include <QColor>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace quill {

namespace {

// The rows of failed attempts on a light red, as a glance down the table
// finds them.
class FailedTint final : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::BackgroundRole && index.data(HistoryModel::FailedRole).toBool()) {
            return QColor(0xff, 0xeb, 0xee);
        }
        return QIdentityProxyModel::data(index, role);
    }
};

// A column fits its contents up to about this many characters; a long file
// name or port is read whole in its tooltip.
constexpr int WidestColumnChars = 40;

// What `of` takes of each row shown, top to bottom.
template <typename Row>
std::vector<Row> eachShown(const HistoryModel& model, const HistorySearch& search,
                           Row (*of)(const Attempt&)) {
    std::vector<Row> rows;
    rows.reserve(size_t(search.rowCount()));
    for (int r = 0; r < search.rowCount(); ++r) {
        rows.push_back(of(model.attempt(search.mapToSource(search.index(r, 0)).row())));
    }
    return rows;
}

} // namespace

frmHistory::frmHistory(const HistoryResult<HistoryLocation>& where)
    : m_model(new HistoryModel(this)), m_search(new HistorySearch(m_model, this)) {
    setObjectName(QStringLiteral("frmHistory"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(qtext(text::HistoryCaption));

    auto* txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(qtext(text::HistoryFilterHint));
    txtFilter->setClearButtonEnabled(true);
    connect(txtFilter, &QLineEdit::textChanged, m_search, &HistorySearch::setText);
    auto* cmdExport = new QPushButton(qtext(text::HistoryExport), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    connect(cmdExport, &QPushButton::clicked, this, &frmHistory::cmdExport_Click);

    lblFailure = new QLabel(this);
    lblFailure->setObjectName(QStringLiteral("lblFailure"));
    lblFailure->setTextFormat(Qt::PlainText);
    lblFailure->setWordWrap(true);
    lblFailure->hide();

    auto* tblHistory = new QTableView(this);
    tblHistory->setObjectName(QStringLiteral("tblHistory"));
    auto* tint = new FailedTint(this);
    tint->setSourceModel(m_search);
    tblHistory->setModel(tint);
    tblHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblHistory->setAlternatingRowColors(true);
    tblHistory->setWordWrap(false);
    tblHistory->verticalHeader()->hide();
    tblHistory->horizontalHeader()->setStretchLastSection(true);
    // Sorted by the database, not here: a click asks for the rows anew.
    QHeaderView* header = tblHistory->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(HistoryModel::Time, Qt::DescendingOrder);
    connect(header, &QHeaderView::sortIndicatorChanged, this, &frmHistory::sortBy);
    // Sized once, by the rows of the first answer.
    connect(m_model, &QAbstractItemModel::modelReset, tblHistory,
            [tblHistory, sized = false]() mutable {
                if (std::exchange(sized, true)) {
                    return;
                }
                tblHistory->resizeColumnsToContents();
                const int widest = tblHistory->fontMetrics().averageCharWidth() * WidestColumnChars;
                for (int c = 0; c < HistoryModel::Columns; ++c) {
                    tblHistory->setColumnWidth(c, std::min(tblHistory->columnWidth(c), widest));
                }
            });

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    lblCount->setTextFormat(Qt::PlainText);
    for (const auto signal :
         {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(m_search, signal, this, &frmHistory::showCount);
    }
    connect(m_search, &QAbstractItemModel::modelReset, this, &frmHistory::showCount);
    connect(m_search, &QAbstractItemModel::layoutChanged, this, &frmHistory::showCount);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabHistory"));
    m_tabs->addTab(tblHistory, qtext(text::HistoryAttemptsTab));
    m_yield = new YieldTab(m_tabs);
    m_tabs->addTab(m_yield, qtext(text::HistoryYieldTab));
    m_ports = new PortsTab(m_tabs);
    m_tabs->addTab(m_ports, qtext(text::HistoryPortsTab));
    // Whatever changes the rows shown, the tab shown follows, once per burst.
    m_countsDue.setSingleShot(true);
    m_countsDue.setInterval(CountDelayMs);
    connect(&m_countsDue, &QTimer::timeout, this, &frmHistory::showCounts);
    connect(m_tabs, &QTabWidget::currentChanged, this, &frmHistory::countsDue);
    for (const auto signal :
         {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(m_search, signal, this, &frmHistory::countsDue);
    }
    connect(m_search, &QAbstractItemModel::modelReset, this, &frmHistory::countsDue);
    connect(m_search, &QAbstractItemModel::layoutChanged, this, &frmHistory::countsDue);
    connect(m_search, &QAbstractItemModel::dataChanged, this, &frmHistory::countsDue);

    auto* top = new QHBoxLayout;
    top->addWidget(txtFilter, 1);
    top->addWidget(cmdExport);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lblFailure);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(lblCount);
    resize(twipsSize(14400, 6000));

    if (!where) {
        showFailure(where.error());
        return;
    }
    m_where = QString::fromStdString(where->shown());
    m_reader = new HistoryReader(*where, this);
    connect(m_reader, &HistoryReader::changed, this, [this](const std::vector<Attempt>& rows) {
        lblFailure->hide();
        m_model->take(rows);
        m_loaded = true;
        showCount();
        if (m_sortWanted) {
            poll(); // a click while this was asked
        }
    });
    connect(m_reader, &HistoryReader::listed, this,
            [this](const std::vector<Attempt>& rows, HistoryOrder order) {
                lblFailure->hide();
                m_model->takeListing(rows, order);
                poll(); // a click while this was asked
            });
    connect(m_reader, &HistoryReader::failed, this, &frmHistory::showFailure);
    connect(&m_poll, &QTimer::timeout, this, &frmHistory::poll);
    m_poll.start(PollMs);
    poll();
}

// Asked again only once the last question is answered: a slow database
// never has questions piling up.
void frmHistory::poll() {
    if (m_sortWanted && *m_sortWanted != m_model->order()) {
        if (m_reader->askListing(*m_sortWanted)) {
            m_sortWanted.reset();
        }
        return;
    }
    m_sortWanted.reset();
    m_reader->ask(m_model->changesAfter(), m_model->watched());
}

void frmHistory::sortBy(int column, Qt::SortOrder order) {
    if (m_reader == nullptr || column < 0 || column >= HistoryModel::Columns) {
        return;
    }
    m_sortWanted = HistoryOrder{HistoryOrder::Key(column), order == Qt::DescendingOrder};
    poll();
}

void frmHistory::showFailure(const HistoryError& error) {
    lblFailure->setText(QString::fromStdString(error.text()));
    lblFailure->show();
}

void frmHistory::showCount() {
    if (m_loaded) {
        lblCount->setText(qtext(text::HistoryShown)
                              .arg(m_search->rowCount())
                              .arg(m_model->rowCount())
                              .arg(m_where));
    }
}

void frmHistory::countsDue() {
    if (m_tabs->currentWidget() == m_yield || m_tabs->currentWidget() == m_ports) {
        m_countsDue.start();
    }
}

// Only what the tab shown needs of each row shown is taken here; the
// counting is the tab's, off this thread.
void frmHistory::showCounts() {
    if (m_tabs->currentWidget() == m_yield) {
        m_yield->setRows(eachShown(*m_model, *m_search, unitRowOf));
    } else if (m_tabs->currentWidget() == m_ports) {
        m_ports->setRows(eachShown(*m_model, *m_search, portRowOf));
    }
}

// The rows shown, with every field.
void frmHistory::cmdExport_Click() {
    QFileDialog dialog(this, qtext(text::HistoryExportCaption));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(qtext(text::HistoryCsvFiles));
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    const std::string csv = historyCsv(m_search->shown());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), qint64(csv.size())) != qint64(csv.size()) || !file.commit()) {
        QtMessageBoxes().MsgBox(std::string(text::CsvNotWritten) + " (" + path.toStdString() +
                                "): " + file.errorString().toStdString());
    }
}

} // namespace quill
