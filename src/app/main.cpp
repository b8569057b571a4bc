// SPDX-License-Identifier: MIT
// quill: downloads an Intel HEX file into the flash of an Ostrel device.

#include "app/application.h"
#include "platform/qt/qtsettingsstore.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The application's name stays the executable's file name: the
    // settings store is kept under it.
    QApplication qapp(argc, argv);
    quill::Application app(std::make_unique<quill::QtSettingsStore>(),
                           quill::Application::commandLine(QCoreApplication::arguments()));
    app.Main();
    // Ends when the last window has closed (an About box may outlive the main window).
    return QApplication::exec();
}
