// SPDX-License-Identifier: MIT
#include "ui/frmwaitcom.h"

#include "ui/twips.h"
#include "ui/uitexts.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <functional>

namespace quill {

class WaitComWindow final : public QDialog {
  public:
    explicit WaitComWindow(std::function<void()> onOk) : m_onOk(std::move(onOk)) {
        setObjectName(QStringLiteral("frmWaitCom"));
        setWindowTitle(qtext(text::WaitCaption));
        lblMessage = new QLabel(this);
        lblMessage->setObjectName(QStringLiteral("lblMessage"));
        lblMessage->setTextFormat(Qt::PlainText);
        lblMessage->setWordWrap(true);
        lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        cmdOK = new QPushButton(qtext(text::Ok), this);
        cmdOK->setObjectName(QStringLiteral("cmdOK"));
        setMessage(qtext(text::WaitMessage));
        // Neither the default nor the cancel button.
        cmdOK->setAutoDefault(false);
        cmdOK->setDefault(false);
        connect(cmdOK, &QPushButton::clicked, this, [this] { m_onOk(); });
        setAcknowledging(true);
    }

    // The designed sizes are the least: a message that needs more lines in
    // this font than the label's two pushes OK and the frame down.
    void setMessage(const QString& message) {
        lblMessage->setText(message);
        const QRect label = twipsRect(120, 240, 3135, 615);
        const int extra = std::max(0, lblMessage->heightForWidth(label.width()) - label.height());
        lblMessage->setGeometry(label.adjusted(0, 0, 0, extra));
        cmdOK->setGeometry(twipsRect(2280, 1080, 975, 375).translated(0, extra));
        fitCaption(cmdOK);
        setFixedSize(twipsSize(3450, 1650) + QSize(0, extra));
    }

    void setAcknowledging(bool acknowledging) {
        m_acknowledging = acknowledging;
        cmdOK->setEnabled(acknowledging);
    }

    // Escape and the frame's close button end up here.
    void reject() override {
        if (m_acknowledging) {
            m_onOk();
        }
    }

    QLabel* lblMessage;
    QPushButton* cmdOK;

  private:
    std::function<void()> m_onOk;
    bool m_acknowledging = true;
};

frmWaitCom::frmWaitCom() = default;

frmWaitCom::~frmWaitCom() {
    close();
}

void frmWaitCom::load() {
    if (!m_window) {
        m_window = std::make_unique<WaitComWindow>([this] { okPressed(); });
    }
}

void frmWaitCom::setAcknowledging(bool acknowledging) {
    load();
    m_window->setAcknowledging(acknowledging);
}

void frmWaitCom::showModal() {
    load();
    m_executing = m_window.get();
    m_window->exec();
    m_executing = nullptr;
}

void frmWaitCom::close() {
    if (!m_window) {
        return;
    }
    if (m_executing == m_window.get()) {
        // Called from a handler inside the dialog's own exec(): end the
        // loop, and let the window go once that loop has returned.
        m_window->done(QDialog::Rejected);
        m_window.release()->deleteLater();
        m_executing = nullptr;
    } else {
        m_window.reset();
    }
}

void frmWaitCom::setMessage(const std::string& text) {
    load();
    m_window->setMessage(shownText(text));
}

QDialog* frmWaitCom::window() const {
    return m_window.get();
}

void frmWaitCom::okPressed() {
    if (m_sink != nullptr) {
        m_sink->frmWaitCom_cmdOK_Click();
    } else {
        close();
    }
}

} // namespace quill
