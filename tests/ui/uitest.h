// SPDX-License-Identifier: MIT
#pragma once
// What the window tests share: a script that answers modal windows as they
// open, and a fixture with a scratch settings file whose COM1 is a device
// played on a real pseudo-terminal.

#include "app/application.h"
#include "devsim/devicemodel.h"
#include "ptypair.h"
#include "qt/qtsettingsstore.h"
#include "testtext.h"
#include "ui/frmstation.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <deque>

namespace quill::test {

// Answers modal windows as they open, in order: each step waits for the
// active modal window of its object name or class, then acts on it.
class ModalScript {
  public:
    using Act = std::function<void(QWidget*)>;
    ModalScript& then(const char* name, Act act);
    // Records the text of a message box (carriage returns as shown, "\n"),
    // then presses OK.
    ModalScript& answer(
        QString* text, std::function<void()> inspect = [] {});
    // Records the text of a message box, then presses its `button` (a
    // QMessageBox::StandardButton: Yes or No, say).
    ModalScript& press(QString* text, int button);
    size_t pending() const { return m_steps.size(); } // steps not run yet

  private:
    void schedule();
    void poll();
    std::deque<std::pair<const char*, Act>> m_steps;
    int m_idlePolls = 0;
    bool m_scheduled = false;
    QObject m_guard; // pending polls die with the script
};

// The child of that object name.
template <typename T = QWidget> T* child(QObject* parent, const char* name) {
    return parent->findChild<T*>(QLatin1String(name));
}

// Clicks the buttons of those object names in window, in order.
void click(QWidget* window, std::initializer_list<const char*> buttons);
// The application started as `quill --station` starts it, on the settings
// file `ini`, in `app`; its station window, active.
frmStation* openStation(std::unique_ptr<Application>& app, const std::string& ini,
                        const RunRequest& given);
// Types path into a file dialog's name box, as a user would (selectFile()
// leaves that box alone while it has the focus), and presses Open.
void typeFileName(QWidget* dialog, const std::string& path);

// COM1 is a pseudo-terminal with the device model answering on its master,
// with its reply delays; COM2 to COM4 name files that do not exist, so that
// no real port of this machine takes part. image.hex holds a data record
// and the end record.
class WindowTest : public testing::Test {
  protected:
    void SetUp() override;
    std::string path(const std::string& name) const { // a file in the scratch folder
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }
    QtSettingsStore settings() const { return QtSettingsStore(path("quill.ini")); }
    void start(const std::string& cmdline = {}) { // the application, on those settings
        app.reset();                              // no two windows on one settings file
        app = std::make_unique<Application>(std::make_unique<QtSettingsStore>(path("quill.ini")),
                                            cmdline);
    }
    // The application with COM1 at 9600 chosen in its COM Setup dialog,
    // which opens and stores it.
    void startOnCom1();
    template <typename T> T* control(const char* name) { return child<T>(&app->mainForm(), name); }
    QString panel(const char* name) { return control<QLabel>(name)->text(); }

    QTemporaryDir dir;
    const std::string hexPath = path("image.hex");
    PtyPair pty;
    devsim::DeviceModel model{devsim::Config{}};
    QObject replies; // pending replies die with the fixture
    std::unique_ptr<Application> app;
    ModalScript script;
};

} // namespace quill::test

// GoogleTest prints Qt strings as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
