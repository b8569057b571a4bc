// SPDX-License-Identifier: MIT
#pragma once
// What the window tests share: a script that answers modal windows as they
// open, and a fixture with a scratch settings file whose COM1 is a device
// played on a real pseudo-terminal.

#include "app/application.h"
#include "devsim/devicemodel.h"
#include "modalscript.h"
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

// The application started as `quill --station` starts it, on the settings
// file `ini`, in `app`; its station window, active.
frmStation* openStation(std::unique_ptr<Application>& app, const std::string& ini,
                        const RunRequest& given);
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
