// SPDX-License-Identifier: MIT
#include "ui/frmdevices.h"
#include "ui/okcancel.h"

#include "ui/uitexts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quill {

namespace {

// Device paths as the portable code holds them (UTF-8).
QString pathText(const std::string& path) {
    return QString::fromStdString(path);
}

std::string pathBytes(const QString& text) {
    return text.trimmed().toStdString();
}

} // namespace

frmDevices::frmDevices(const DeviceBindings& bindings, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmDevices"));
    setWindowTitle(qtext(text::DevicesCaption));

    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(qtext(text::DevicesHint), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    for (int com = 1; com <= 4; ++com) {
        auto* list = new QComboBox(this);
        list->setObjectName(QStringLiteral("cboCom%1").arg(com));
        list->setEditable(true);
        list->setInsertPolicy(QComboBox::NoInsert);
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        for (const DeviceBindings::Choice& choice : bindings.choices(com)) {
            list->addItem(pathText(choice.label), pathText(choice.path));
        }
        const std::string bound = bindings.bound(com);
        if (const int index = bindings.choiceIndex(com, bound); index >= 0) {
            list->setCurrentIndex(index);
        } else {
            list->setEditText(pathText(bound));
        }
        form->addRow(QStringLiteral("COM%1").arg(com), list);
        m_lists[static_cast<size_t>(com - 1)] = list;
    }
    addOkCancel(this, layout);
}

std::array<std::string, 4> frmDevices::chosenPaths() const {
    std::array<std::string, 4> paths;
    for (size_t i = 0; i < m_lists.size(); ++i) {
        const QComboBox* list = m_lists[i];
        const int index = list->currentIndex();
        // An entry still showing its own text stands for its path; anything
        // else in the field was typed.
        if (index >= 0 && list->currentText() == list->itemText(index)) {
            paths[i] = pathBytes(list->itemData(index).toString());
        } else {
            paths[i] = pathBytes(list->currentText());
        }
    }
    return paths;
}

} // namespace quill
