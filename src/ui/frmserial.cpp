// SPDX-License-Identifier: MIT
#include "ui/frmserial.h"
#include "ui/okcancel.h"

#include "ui/uitexts.h"
#include "unitserial/seriallist.h"
#include "unitserial/serialnumber.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quill {

namespace {

template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

frmSerial::frmSerial(SettingsStore& settings, QWidget* owner)
    : QDialog(owner), m_settings(settings) {
    setObjectName(QStringLiteral("frmSerial"));
    setWindowTitle(qtext(text::SerialCaption));
    const SerialRequest s = serialFromSettings(settings);

    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(qtext(text::SerialHint), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    // A stored value that cannot be used stops every download until it is corrected here.
    if (!s.problem.empty()) {
        auto* problem = new QLabel(QString::fromStdString(s.problem), this);
        problem->setObjectName(QStringLiteral("lblSerialProblem"));
        problem->setWordWrap(true);
        layout->addWidget(problem);
    }
    m_wanted = named(new QCheckBox(qtext(text::SerialWanted), this), "chkSerial");
    m_wanted->setChecked(s.wanted());
    layout->addWidget(m_wanted);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    m_address = named(new QLineEdit(this), "txtAddress");
    m_address->setText(QString::fromStdString(addressText(s.address.value_or(0))));
    form->addRow(qtext(text::SerialAddress), m_address);
    m_size = named(new QSpinBox(this), "spnSize");
    m_size->setRange(1, static_cast<int>(maxSerialSize));
    m_size->setValue(static_cast<int>(s.size));
    form->addRow(qtext(text::SerialSize), m_size);
    m_format = named(new QComboBox(this), "cboFormat");
    for (const char* format : text::SerialFormats) {
        m_format->addItem(qtext(format));
    }
    m_format->setCurrentIndex(static_cast<int>(s.format));
    form->addRow(qtext(text::SerialFormatLabel), m_format);
    m_series = named(new QLineEdit(QString::fromStdString(s.series), this), "txtSeries");
    form->addRow(qtext(text::SerialSeries), m_series);
    // A stored Start that cannot be used is shown as it stands, to be corrected.
    const std::string stored = settings.GetSetting("Serial", "Start");
    m_start =
        named(new QLineEdit(
                  QString::fromStdString(stored.empty() ? std::to_string(s.start) : stored), this),
              "txtStart");
    form->addRow(qtext(text::SerialStart), m_start);
    m_list = named(new QLineEdit(QString::fromStdString(s.listFile), this), "txtList");
    form->addRow(qtext(text::SerialList), m_list);

    addOkCancel(this, layout);
}

void frmSerial::accept() {
    SerialRequest s;
    if (m_wanted->isChecked()) {
        s.address = addressFromText(m_address->text().toStdString());
        if (!s.address) {
            QMessageBox::warning(this, qtext(text::AppTitle), qtext(text::SerialBadAddress));
            return;
        }
    }
    s.size = static_cast<size_t>(m_size->value());
    s.format = static_cast<SerialFormat>(m_format->currentIndex());
    s.series = m_series->text().trimmed().toStdString();
    if (s.series.empty()) {
        s.series = SerialRequest{}.series;
    }
    // Above 2^63 - 2 the history's counter could not hold the next number.
    bool number = false;
    s.start = m_start->text().trimmed().toULongLong(&number);
    if (!number || s.start > maxSerialStart) {
        QMessageBox::warning(this, qtext(text::AppTitle), qtext(text::SerialBadStart));
        return;
    }
    s.listFile = m_list->text().trimmed().toStdString();
    // A list that cannot be used is said now, not at the first unit's download.
    if (s.address && !s.listFile.empty()) {
        if (const SerialList list = readSerialList(s.listFile, s.size, s.format);
            !list.problem.empty()) {
            QMessageBox::warning(this, qtext(text::AppTitle), QString::fromStdString(list.problem));
            return;
        }
    }
    saveSerialSettings(m_settings, s);
    QDialog::accept();
}

} // namespace quill
