// SPDX-License-Identifier: MIT
#include "ui/frmunlock.h"

#include "lock/locktexts.h"
#include "ui/uitexts.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quill {

namespace locktext = lock::text;

namespace {

// Why a password cannot unlock the window at all; none: one may.
const char* cannotUnlock(WindowLock::Try ready) {
    switch (ready) {
    case WindowLock::Try::NotLocked:
        return locktext::NotLocked;
    case WindowLock::Try::NoHash:
        return locktext::NoUnlockHash;
    case WindowLock::Try::Malformed:
        return locktext::MalformedHash;
    default:
        return nullptr;
    }
}

} // namespace

frmUnlock::frmUnlock(WindowLock& lock, std::function<int64_t()> nowMs, QWidget* parent)
    : QDialog(parent), m_lock(lock), m_now(std::move(nowMs)) {
    setObjectName(QStringLiteral("frmUnlock"));
    setWindowTitle(qtext(locktext::UnlockCaption));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(qtext(locktext::UnlockPrompt), this));
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    layout->addWidget(txtPassword);
    lblSaid = new QLabel(this);
    lblSaid->setObjectName(QStringLiteral("lblSaid"));
    lblSaid->setWordWrap(true);
    layout->addWidget(lblSaid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    cmdOK = buttons->button(QDialogButtonBox::Ok);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmUnlock::cmdOK_Click);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_wait = new QTimer(this);
    m_wait->setInterval(250);
    connect(m_wait, &QTimer::timeout, this, &frmUnlock::showWait);

    if (const char* why = cannotUnlock(m_lock.ready())) {
        lblSaid->setText(qtext(m_lock.state().unlocked ? locktext::AlreadyUnlocked : why));
        txtPassword->setEnabled(false);
        cmdOK->setEnabled(false);
        return;
    }
    showWait(); // a wait that an earlier dialog began
}

void frmUnlock::cmdOK_Click() {
    const WindowLock::Try tried = m_lock.tryUnlock(txtPassword->text().toStdString(), m_now());
    txtPassword->clear();
    if (tried == WindowLock::Try::Unlocked) {
        accept();
        return;
    }
    if (const char* why = cannotUnlock(tried)) {
        lblSaid->setText(qtext(why));
        return;
    }
    showWait();
    if (tried == WindowLock::Try::Wrong) {
        lblSaid->setText(qtext(locktext::WrongPassword) + QLatin1Char(' ') + lblSaid->text());
    }
}

// The seconds left before the next try is taken, counted down.
void frmUnlock::showWait() {
    const int64_t waitMs = m_lock.waitMs(m_now());
    cmdOK->setEnabled(waitMs == 0);
    if (waitMs == 0) {
        m_wait->stop();
        lblSaid->clear();
        return;
    }
    lblSaid->setText(qtext(locktext::WaitBefore) + QString::number((waitMs + 999) / 1000) +
                     qtext(locktext::WaitAfter));
    m_wait->start();
}

} // namespace quill
