// SPDX-License-Identifier: MIT
#include "ui/frmstationsettings.h"
#include "ui/okcancel.h"

#include "run/runrequest.h"
#include "ui/stationchoice.h"
#include "ui/uitexts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quill {

frmStationSettings::frmStationSettings(StationChoice& choice, QWidget* owner)
    : QDialog(owner), m_choice(choice) {
    setObjectName(QStringLiteral("frmStationSettings"));
    setWindowTitle(qtext(text::StationSettingsCaption));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    m_idle = new QSpinBox(this);
    m_idle->setObjectName(QStringLiteral("spnIdle"));
    m_idle->setRange(0, maxIdleTimeoutSeconds);
    m_idle->setValue(choice.idleLimit());
    form->addRow(qtext(text::StationIdleLimit), m_idle);

    auto* hint = new QLabel(qtext(text::StationSlotHint), this);
    hint->setWordWrap(true);
    layout->addWidget(new QLabel(qtext(text::StationSlotNames), this));
    layout->addWidget(hint);
    auto* names = new QFormLayout;
    layout->addLayout(names);
    for (const PortEntry& e : choice.keptEntries()) {
        auto* name = new QLineEdit(QString::fromStdString(e.name), this);
        name->setObjectName(QStringLiteral("txtSlot%1").arg(m_names.size() + 1));
        names->addRow(QString::fromStdString(e.port), name);
        m_names.push_back(name);
    }

    addOkCancel(this, layout);
}

void frmStationSettings::accept() {
    m_choice.setIdleLimit(m_idle->value());
    std::vector<std::string> names;
    for (const QLineEdit* name : m_names) {
        names.push_back(name->text().simplified().toStdString());
    }
    m_choice.setSlotNames(names);
    QDialog::accept();
}

} // namespace quill
