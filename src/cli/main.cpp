// SPDX-License-Identifier: MIT
// quill-cli: downloads an Intel HEX file into the flash of an Ostrel device
// without a display, on the same download engine as the window program;
// also lists the serial ports, checks an adapter and lists the history.

#include "cli/clioptions.h"
#include "cli/clirun.h"
#include "cli/clitexts.h"
#include "cli/console.h"
#include "cli/historylist.h"
#include "cli/jsonresult.h"
#include "cli/portcheck.h"
#include "cli/portlist.h"
#include "cli/repeatrun.h"
#include "cli/signalwatcher.h"
#include "qt/qtsettingsstore.h"
#include "quillversion.h"
#include "runner/recordkeeper.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using quill::ExitCode;
using quill::toInt;
using namespace quill::cli;

namespace {

// quill-cli ends a few seconds after its last download at most: what the
// history has not taken waits in the journal. A history that holds its
// writer stuck (a frozen server) is left behind without waiting for it.
int finished(quill::RecordKeeper& keeper, int status) {
    // A signal meanwhile ends it at once, with the status it had.
    static int finalStatus = 0;
    finalStatus = status;
    struct sigaction quick {};
    quick.sa_handler = [](int) { std::_Exit(finalStatus); };
    sigemptyset(&quick.sa_mask);
    ::sigaction(SIGINT, &quick, nullptr);
    ::sigaction(SIGTERM, &quick, nullptr);
    if (!keeper.finish()) {
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(status);
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    // The file name is taken from argv as bytes, before Qt sees the arguments.
    const ParsedCommandLine parsed = parseCommandLine({argv + 1, argv + argc});
    if (!parsed.options) {
        std::fputs(parsed.error.c_str(), stderr);
        if (parsed.json) {
            std::puts(usageJson(parsed.error).c_str());
        }
        return toInt(ExitCode::Usage);
    }
    const CliOptions& options = *parsed.options;
    switch (options.action) {
    case CliOptions::Action::Help:
        std::fputs(parsed.help.c_str(), stdout);
        return toInt(ExitCode::Complete);
    case CliOptions::Action::Version:
        std::printf("%s\n", quill::QuillVersion);
        return toInt(ExitCode::Complete);
    default:
        break;
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(text::SettingsApplication));
    quill::QtSettingsStore store;
    Console console(stderr, ::isatty(STDERR_FILENO) != 0, options.quiet);
    if (options.action == CliOptions::Action::ListPorts) {
        std::fputs(listPorts(store).c_str(), stdout);
        return toInt(ExitCode::Complete);
    }
    if (options.action == CliOptions::Action::CheckPort) {
        return toInt(checkPort(options.checkPort, store, stdout));
    }
    if (options.action == CliOptions::Action::History) {
        return toInt(listHistory(options, store, stdout, console));
    }
    // Every download is recorded; the rows are written while it runs, and
    // the last before the program ends.
    quill::RecordKeeper keeper(text::ProgramName, options.operatorName, store, options.historyUrl,
                               [&console](const std::string& text) { console.error(text); });
    int status = 0;
    if (options.repeat) {
        RepeatRun run(options, store, console, keeper);
        SignalWatcher watcher([&run](int signal) { run.interrupt(signal); });
        status = run.exec();
    } else {
        CliRun run(options, store, console, keeper, stderr, true);
        // SIGINT and SIGTERM end the download from the event loop.
        SignalWatcher watcher([&run](int signal) { run.interrupt(signal); });
        status = run.exec().status();
        if (options.json) {
            // The only thing quill-cli writes on standard output.
            std::puts(run.json().c_str());
        }
    }
    return finished(keeper, status);
}
