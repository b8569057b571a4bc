// The Tracker wait dialog: no input while waiting, OK reports once
// acknowledging, and a close from a handler inside its exec() ends the wait.

#include "uitest.h"

#include "ui/frmwaitcom.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace quill::test {
namespace {

// Closes the dialog as the download engine does when OK is pressed.
struct Sink : WaitDialogEvents {
    explicit Sink(frmWaitCom& dialog) : dialog(dialog) { dialog.setEventSink(this); }
    ~Sink() override { dialog.setEventSink(nullptr); }
    void frmWaitCom_cmdOK_Click() override {
        ++presses;
        dialog.close();
    }
    frmWaitCom& dialog;
    int presses = 0;
};

QLabel* message(QWidget* window) {
    return window->findChild<QLabel*>(QStringLiteral("lblMessage"));
}
QPushButton* okButton(QWidget* window) {
    return window->findChild<QPushButton*>(QStringLiteral("cmdOK"));
}

TEST(WaitDialog, WaitingTakesNoInputUntilTheProgramClosesIt) {
    frmWaitCom dialog;
    Sink sink(dialog);
    dialog.setAcknowledging(false);
    bool stillOpen = false;
    ModalScript script;
    script.then([&](QWidget* window) {
        EXPECT_FALSE(okButton(window)->isEnabled());
        QTest::keyClick(window, Qt::Key_Escape);
        QTest::keyClick(window, Qt::Key_Return);
        window->close(); // the frame's close button
        stillOpen = window->isVisible();
        dialog.close(); // the answer came
        return true;
    });
    dialog.showModal();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(sink.presses, 0);
    EXPECT_EQ(dialog.window(), nullptr);
}

TEST(WaitDialog, AcknowledgingOkReportsToTheSinkWithTheMessageShown) {
    frmWaitCom dialog;
    Sink sink(dialog);
    dialog.load();
    dialog.setAcknowledging(false);
    dialog.setMessage("Tracker response error. \rCheck setup and try again");
    dialog.setAcknowledging(true);
    QString shown;
    ModalScript script;
    script.then([&](QWidget* window) {
        shown = message(window)->text();
        QTest::mouseClick(okButton(window), Qt::LeftButton);
        return true;
    });
    dialog.showModal();
    EXPECT_EQ(shown, QStringLiteral("Tracker response error. \nCheck setup and try again"));
    EXPECT_EQ(sink.presses, 1);
}

TEST(WaitDialog, FrameCloseWhileAcknowledgingActsAsOk) {
    frmWaitCom dialog;
    Sink sink(dialog);
    ModalScript script;
    script.then([&](QWidget* window) {
        window->close(); // the frame's close button
        return true;
    });
    dialog.showModal();
    EXPECT_EQ(sink.presses, 1);
}

TEST(WaitDialog, CloseDuringExecEndsTheWaitAndTheNextLoadIsFresh) {
    frmWaitCom dialog;
    dialog.setMessage("Tracker did not respond after reboot.\r Try again.");
    dialog.setAcknowledging(false);
    ModalScript script;
    QPointer<QDialog> first;
    script.then([&](QWidget* window) {
        first = qobject_cast<QDialog*>(window);
        dialog.close(); // as the receive handler does on the Tracker's ACK
        return true;
    });
    dialog.showModal();
    EXPECT_EQ(dialog.window(), nullptr);
    QTRY_VERIFY(first.isNull()); // deleted once its own loop had returned

    dialog.load();
    ASSERT_NE(dialog.window(), nullptr);
    EXPECT_EQ(dialog.window()->windowTitle(), QStringLiteral("Tracker Program Error"));
    EXPECT_EQ(message(dialog.window())->text(), QStringLiteral("Unknown error"));
    EXPECT_TRUE(okButton(dialog.window())->isEnabled()); // acknowledging, as designed
    EXPECT_FALSE(okButton(dialog.window())->isDefault() ||
                 okButton(dialog.window())->autoDefault());
}

} // namespace
} // namespace quill::test
