// SPDX-License-Identifier: MIT
#include "uitest.h"

#include "devsim/ptyparity.h"

#include <QMessageBox>
#include <QTimer>

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

frmStation* openStation(std::unique_ptr<Application>& app, const std::string& ini,
                        const RunRequest& given) {
    app.reset();
    app = std::make_unique<Application>(std::make_unique<QtSettingsStore>(ini), std::string());
    app->Station(given);
    frmStation* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        window =
            w->isVisible() && qobject_cast<frmStation*>(w) ? qobject_cast<frmStation*>(w) : window;
    }
    EXPECT_TRUE(window != nullptr && QTest::qWaitForWindowActive(window));
    return window;
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

void WindowTest::SetUp() {
    ASSERT_TRUE(pty.ok());
    writeFile(hexPath, ":0400000001020304F2\r\n:00000001FF\r\n");
    for (const std::string com : {"COM1", "COM2", "COM3", "COM4"}) {
        settings().SaveSetting("PortNames", com, com == "COM1" ? pty.slavePath() : path(com));
    }
    pty.setReadHandler([this](std::span<const uint8_t> chunk) {
        for (devsim::Reply& reply : model.receive(chunk, devsim::heardParity(pty.pty()))) {
            QTimer::singleShot(reply.delayMs, &replies, [this, answer = std::move(reply.bytes)] {
                EXPECT_TRUE(pty.writeMaster(answer));
            });
        }
    });
}

void WindowTest::startOnCom1() {
    start();
    script.then("frmComSetup", [](QWidget* d) { click(d, {"optPort0", "optBaud0", "cmdOK"}); });
    app->Main();
    EXPECT_EQ(panel("Panel1"), QStringLiteral("COM1 9600  "));
    EXPECT_EQ(settings().GetSetting("Port", "COM") + settings().GetSetting("Port", "BAUD"),
              "19600");
}

} // namespace quill::test
