// SPDX-License-Identifier: MIT
#include "modalscript.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace quill::test {

ModalScript& ModalScript::then(const char* name, Act act) {
    m_steps.emplace_back(name, std::move(act));
    schedule();
    return *this;
}

ModalScript& ModalScript::answer(QString* text, std::function<void()> inspect) {
    return then("QMessageBox", [=](QWidget* box) {
        *text = static_cast<QMessageBox*>(box)->text();
        inspect();
        static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
}

ModalScript& ModalScript::press(QString* text, int button) {
    return then("QMessageBox", [=](QWidget* box) {
        *text = static_cast<QMessageBox*>(box)->text();
        static_cast<QMessageBox*>(box)->button(QMessageBox::StandardButton(button))->click();
    });
}

// A fresh single-shot timer each time: a step may open the next modal
// window, and Qt does not fire a timer again while its handler runs, so a
// repeating one could not answer inside that window's loop.
void ModalScript::schedule() {
    if (!m_scheduled && !m_steps.empty()) {
        m_scheduled = true;
        QTimer::singleShot(10, &m_guard, [this] { poll(); });
    }
}

void ModalScript::poll() {
    m_scheduled = false;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->isVisible() && !m_steps.empty()) {
        const char* name = m_steps.front().first;
        if (modal->objectName() == QLatin1String(name) || modal->inherits(name)) {
            // Taken off first, and the next poll armed: the step may open the
            // next modal window, whose nested event loop polls again.
            const Act act = std::move(m_steps.front().second);
            m_steps.pop_front();
            schedule();
            m_idlePolls = 0;
            act(modal);
            return;
        }
        // A script that has found nothing to answer for 10 s (polls every
        // 10 ms) closes whatever is modal, so that a failing test ends
        // instead of hanging.
        if (++m_idlePolls > 1000) {
            ADD_FAILURE() << "waiting for " << name << ", not " << modal->metaObject()->className();
            modal->close();
        }
    }
    schedule();
}

void click(QWidget* window, std::initializer_list<const char*> buttons) {
    for (const char* button : buttons) {
        child<QAbstractButton>(window, button)->click();
    }
}

void typeFileName(QWidget* dialog, const std::string& path) {
    child<QLineEdit>(dialog, "fileNameEdit")->setText(QString::fromStdString(path));
    static_cast<QDialog*>(dialog)->accept();
}

} // namespace quill::test
