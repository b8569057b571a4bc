// SPDX-License-Identifier: MIT
#include "ui/frmcomsetup.h"

#include "ui/twips.h"
#include "ui/uitexts.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>

namespace quill {

namespace {

QRadioButton* option(QGroupBox* frame, QButtonGroup* group, int index, int top) {
    auto* button = new QRadioButton(frame);
    button->setGeometry(twipsRect(240, top, 855, 375));
    group->addButton(button, index);
    return button;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, QRect geometry) {
    auto* b = new QPushButton(qtext(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

void setUp(QRadioButton* button, const std::string& caption, bool enabled, bool selected) {
    button->setText(QString::fromStdString(caption));
    button->setEnabled(enabled);
    fitCaption(button);
    // Set without a click: loading changes no global.
    if (selected) {
        button->setChecked(true);
    }
}

} // namespace

frmComSetup::frmComSetup(ComSetup& logic, QWidget* owner) : QDialog(owner), m_logic(logic) {
    setObjectName(QStringLiteral("frmComSetup"));
    setWindowTitle(qtext(text::ComSetupCaption));
    setFixedSize(twipsSize(3585, 3075));

    auto* frame1 = new QGroupBox(qtext(text::FramePort), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setGeometry(twipsRect(120, 240, 1335, 2055));
    auto* frame2 = new QGroupBox(qtext(text::FrameBaud), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    frame2->setGeometry(twipsRect(1800, 240, 1335, 1335));

    // One group per frame: choosing a button clears the others of its frame.
    auto* ports = new QButtonGroup(this);
    for (int i = 0; i < static_cast<int>(optPort.size()); ++i) {
        optPort[i] = option(frame1, ports, i, 360 + 360 * i);
        optPort[i]->setObjectName(QStringLiteral("optPort%1").arg(i));
    }
    auto* bauds = new QButtonGroup(this);
    for (int i = 0; i < static_cast<int>(optBaud.size()); ++i) {
        optBaud[i] = option(frame2, bauds, i, 360 + 360 * i);
        optBaud[i]->setObjectName(QStringLiteral("optBaud%1").arg(i));
    }
    QPushButton* cmdOK = button(this, "cmdOK", text::Ok, twipsRect(600, 2520, 855, 375));
    QPushButton* cmdCancel =
        button(this, "cmdCancel", text::Cancel, twipsRect(2280, 2520, 855, 375));

    QWidget::setTabOrder(cmdOK, optPort[0]);
    QWidget::setTabOrder(optPort[0], optBaud[0]);
    QWidget::setTabOrder(optBaud[0], optPort[1]);
    QWidget::setTabOrder(optPort[1], optPort[2]);
    QWidget::setTabOrder(optPort[2], optPort[3]);
    QWidget::setTabOrder(optPort[3], optBaud[1]);
    QWidget::setTabOrder(optBaud[1], cmdCancel);
    cmdOK->setFocus();

    // Clicks by the user only: the set-up below raises none.
    connect(ports, &QButtonGroup::idClicked, this, [this](int id) { m_logic.optPort_Click(id); });
    connect(bauds, &QButtonGroup::idClicked, this, [this](int id) { m_logic.optBaud_Click(id); });
    connect(cmdOK, &QPushButton::clicked, this, [this] {
        m_logic.cmdOK_Click();
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    m_logic.Form_Load(*this);
}

void frmComSetup::setPortButton(int index, const std::string& caption, bool enabled,
                                bool selected) {
    setUp(optPort.at(static_cast<size_t>(index)), caption, enabled, selected);
}

void frmComSetup::setBaudButton(int index, const std::string& caption, bool enabled,
                                bool selected) {
    setUp(optBaud.at(static_cast<size_t>(index)), caption, enabled, selected);
}

void frmComSetup::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace quill
