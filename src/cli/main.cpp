// SPDX-License-Identifier: MIT
// quill-cli: downloads an Intel HEX file into the flash of an Ostrel device
// without a display, on the same download engine as the window program;
// also lists the serial ports and checks an adapter.

#include "cli/clioptions.h"
#include "cli/clirecord.h"
#include "cli/clitexts.h"
#include "cli/console.h"
#include "cli/historylist.h"
#include "cli/multirun.h"
#include "cli/portcheck.h"
#include "cli/portlist.h"
#include "cli/repeatrun.h"
#include "cli/signalwatcher.h"
#include "cli/singlerun.h"
#include "qt/qtsettingsstore.h"
#include "quillversion.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

using quill::ExitCode;
using quill::exitStatus;
using quill::toInt;
using namespace quill::cli;

int main(int argc, char** argv) {
    // The file name is taken from argv as bytes, before Qt sees the arguments.
    const ParsedCommandLine parsed = parseCommandLine({argv + 1, argv + argc});
    if (!parsed.options) {
        std::fputs(parsed.error.c_str(), stderr);
        if (parsed.json) {
            std::puts(jsonObject(SingleRun::usageResult(parsed.error)).c_str());
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
    CliRecord record(
        options, store, [&console](const std::string& text) { console.error(text); },
        [&console](const std::string& text) { console.note(text); });
    if (options.repeat) {
        RepeatRun run(options, store, console, record);
        SignalWatcher watcher([&run](int signal) { run.interrupt(signal); });
        const ExitCode code = run.exec();
        return exitStatus(code, run.signal());
    }
    if (options.ports.size() > 1) {
        MultiRun run(options, store, console, stderr, record);
        SignalWatcher watcher([&run](int signal) { run.interrupt(signal); });
        const ExitCode code = run.exec();
        return exitStatus(code, run.signal());
    }
    SingleRun run(options, store, console, record);
    // SIGINT and SIGTERM end the download from the event loop.
    SignalWatcher watcher([&run](int signal) { run.interrupt(signal); });
    const ExitCode code = run.exec();
    const int status = exitStatus(code, run.signal());
    if (options.json) {
        // The only thing quill-cli writes on standard output.
        std::puts(jsonObject(run.result(status)).c_str());
    }
    return status;
}
