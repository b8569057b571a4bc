// SPDX-License-Identifier: MIT
// quill: downloads an Intel HEX file into the flash of an Ostrel device.

#include "app/appicon.h"
#include "app/application.h"
#include "app/parentconsole.h"
#include "app/startoptions.h"
#include "cmdline/programarguments.h"
#include "history/ownfolders.h"
#include "qt/qtsettingsstore.h"
#include "ui/uitexts.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

int print(const std::string& text, std::FILE* to) {
    return std::fputs(text.c_str(), to) >= 0 && std::fflush(to) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    quill::useParentConsole();
    quill::prepareHistoryProcess();
    // --help, --version and a station's bad options are answered before Qt
    // looks for a display.
    // A station's file name as bytes (UTF-8 on Windows, from its UTF-16
    // command line), before Qt sees the arguments.
    const std::vector<std::string> arguments = quill::cmdline::programArguments(argc, argv);
    const std::vector<std::string_view> args(arguments.begin(), arguments.end());
    if (const auto reply = quill::startReply(args)) {
        return print(*reply, stdout);
    }
    const auto station = quill::stationStart(args);
    if (station && station->help) {
        return print(quill::text::ProgramHelp, stdout);
    }
    if (station && !station->problems.empty()) {
        print(station->problems, stderr);
        return 2;
    }

    // The application's name stays the executable's file name: the
    // settings store is kept under it.
    QApplication qapp(argc, argv);
    quill::setApplicationIdentity();
    quill::Application app(std::make_unique<quill::QtSettingsStore>(),
                           quill::Application::commandLine(QCoreApplication::arguments()));
    if (station) {
        app.Station(station->given);
    } else {
        app.Main();
    }
    // Ends when the last window has closed (an About box may outlive the main window).
    const int status = QApplication::exec();
    // What the history has not taken by then waits in the journal; a history
    // that holds its writer stuck is not waited for.
    if (!app.finish()) {
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(status);
    }
    return status;
}
