// SPDX-License-Identifier: MIT
#include "uitest.h"

#include "devsim/ptyparity.h"

#include <QTimer>

namespace quill::test {

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
