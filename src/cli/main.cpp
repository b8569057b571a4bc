// SPDX-License-Identifier: MIT
// quill-cli: downloads an Intel HEX file into the flash of an Ostrel device
// without a display, on the same download engine as the window program.

#include "cli/clioptions.h"
#include "cli/clirun.h"
#include "cli/clitexts.h"
#include "cli/console.h"
#include "platform/qt/qtsettingsstore.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

using namespace quill::cli;

int main(int argc, char** argv) {
    // The file name is taken from argv as bytes, before Qt sees the arguments.
    const ParsedCommandLine parsed = parseCommandLine({argv + 1, argv + argc});
    if (!parsed.options) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", text::ProgramName, parsed.error.c_str(),
                     text::ProgramName);
        return toInt(ExitCode::Usage);
    }
    if (parsed.options->help) {
        std::fputs(usageText().c_str(), stdout);
        return toInt(ExitCode::Complete);
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(text::SettingsApplication));
    quill::QtSettingsStore store;
    Console console(stderr, ::isatty(STDERR_FILENO) != 0);
    CliRun run(*parsed.options, store, console);
    return toInt(run.exec());
}
