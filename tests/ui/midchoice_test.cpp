// SPDX-License-Identifier: MIT
// The main window with a download running through a pseudo-terminal: a
// file dropped on it then ends that download first, at once, with a
// message, and the device hears nothing more of either file.

#include "uitest.h"

#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

#include <fstream>

namespace quill::test {
namespace {

std::string record(unsigned address) {
    char line[32];
    const unsigned sum =
        (0x100 - ((2 + (address >> 8) + (address & 0xFF) + 0xAB + 0xCD) & 0xFF)) & 0xFF;
    std::snprintf(line, sizeof line, ":02%04X00ABCD%02X", address, sum);
    return line;
}

class MidChoice : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        // Slow enough that the drop lands between two records.
        model = devsim::DeviceModel(devsim::Config{.recordAckMs = 20, .recordWriteMs = 30});
        std::ofstream first(firstPath, std::ios::binary);
        for (unsigned i = 0; i < 40; ++i) {
            first << record(2 * i) << "\r\n";
        }
        first << ":00000001FF\r\n";
        std::ofstream(otherPath, std::ios::binary) << record(0x100) << "\r\n:00000001FF\r\n";
        start();
        script.then("frmComSetup", [](QWidget* d) { click(d, {"optPort0", "optBaud0", "cmdOK"}); });
        app->Main();
    }
    void drop(const std::string& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
        QDragEnterEvent enter({20, 20}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&app->mainForm(), &enter);
        QDropEvent event({20, 20}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&app->mainForm(), &event);
    }

    const std::string firstPath = path("first.hex");
    const std::string otherPath = path("other.hex");
};

TEST_F(MidChoice, DropDuringADownloadStopsItBeforeTheChoiceGoesOn) {
    drop(firstPath);
    ASSERT_TRUE(waitFor([&] { return control<QWidget>("cmdStart")->isEnabled(); }, 2000));

    QString prompt, stopped, unexpected;
    script.answer(&prompt).answer(&stopped).answer(&unexpected);
    click(&app->mainForm(), {"cmdStart"});
    ASSERT_TRUE(waitFor([&] { return model.records().size() >= 3; }, 5000));
    drop(otherPath);
    ASSERT_TRUE(waitFor([&] { return !stopped.isEmpty(); }, 2000));
    const size_t heard = model.records().size();
    runEventsFor(300); // the device's last answers arrive; nothing may follow them

    EXPECT_EQ(stopped, QStringLiteral("Download stopped: another file was chosen"));
    EXPECT_TRUE(unexpected.isEmpty()) << unexpected.toStdString(); // no "Download complete"
    EXPECT_EQ(script.pending(), 1u);
    EXPECT_EQ(model.records().size(), heard);
    EXPECT_LT(heard, 10u);
    EXPECT_FALSE(model.sawEndOfFile());
    EXPECT_EQ(model.eraseRequests(), 1);
    EXPECT_FALSE(control<QLabel>("lblMsg")->isVisible());
    // Then the choice went on: the dropped file is the one chosen.
    EXPECT_EQ(control<QLabel>("Panel2")->text(), QString::fromStdString(otherPath + "    "));
}

} // namespace
} // namespace quill::test
