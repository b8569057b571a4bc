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
#include "cli/recipecommands.h"
#include "cli/repeatrun.h"
#include "cli/signalwatcher.h"
#include "cmdline/programarguments.h"
#include "events/eventtexts.h"
#include "events/eventwriter.h"
#include "history/historylocation.h"
#include "history/ownfolders.h"
#include "lock/lockstate.h"
#include "lock/passwordprompt.h"
#include "qt/qtsettingsstore.h"
#include "quillversion.h"
#include "runner/recordkeeper.h"
#include "runner/runnertexts.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <unistd.h>

using quill::ExitCode;
using quill::toInt;
using namespace quill::cli;

namespace {

// A broker that cannot be reached in a few seconds ends the run here,
// before any port is touched.
constexpr int brokerTimeoutSeconds = 5;

// Signals caught before the wait at hand began do not end it.
int g_signalsBefore = 0;

bool signalledSince() {
    return SignalWatcher::caught() > g_signalsBefore;
}

// The live events' sink, opened before anything else of the run: none, with
// the problem said, when it cannot be, or when a signal ended the wait for
// it (a FIFO's reader, a broker's answer). `status`: the exit status then.
std::unique_ptr<quill::events::EventWriter> openEvents(const CliOptions& o, Console& console,
                                                       int& status) {
    namespace events = quill::events;
    g_signalsBefore = 0;
    events::OpenedSink opened =
        events::openSink(*o.events, o.eventsUser, std::getenv(events::text::PasswordVariable),
                         brokerTimeoutSeconds, &signalledSince);
    if (opened.sink) {
        return std::make_unique<events::EventWriter>(std::move(opened.sink), o);
    }
    const bool broker = o.events->kind == events::Target::Kind::Broker;
    quill::RunReport run;
    run.outcome = broker ? quill::Outcome::EventsFailed : quill::Outcome::Usage;
    run.code = broker ? ExitCode::EventsFailed : ExitCode::Usage;
    if (signalledSince()) {
        run.outcome = quill::Outcome::Interrupted;
        run.code = ExitCode::Interrupted;
        run.signal = SignalWatcher::lastSignal();
        console.error(quill::text::Interrupted);
    } else {
        console.error(broker ? opened.problem
                             : std::string(text::ProgramName) + ": " + opened.problem);
    }
    status = run.status();
    if (o.json) {
        std::puts(onePortJson(run, console.messages()).c_str());
    }
    return nullptr;
}

// A run the station's lock refuses, or that asks for what this build cannot
// do, ends before anything is opened.
int refuseUsage(const std::string& why, const CliOptions& o, Console& console) {
    console.error(why);
    quill::RunReport run;
    run.outcome = quill::Outcome::Usage;
    run.code = ExitCode::Usage;
    if (o.json) {
        std::puts(onePortJson(run, console.messages()).c_str());
    }
    return run.status();
}

// quill-cli ends a few seconds after its last download at most: what the
// history has not taken waits in the journal. A history that holds its
// writer stuck (a frozen server) is left behind without waiting for it.
int finished(quill::RecordKeeper& keeper, int status) {
    // A signal meanwhile ends it at once, with the status it had and what
    // was printed (the JSON) out.
    std::fflush(stdout);
    std::fflush(stderr);
    static int finalStatus = 0;
    finalStatus = status;
    struct sigaction quick {};
    quick.sa_handler = [](int) { std::_Exit(finalStatus); };
    sigemptyset(&quick.sa_mask);
    ::sigaction(SIGINT, &quick, nullptr);
    ::sigaction(SIGTERM, &quick, nullptr);
    // ... as does one that came after the run, while the events ended.
    if (signalledSince() || !keeper.finish()) {
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(status);
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    quill::prepareHistoryProcess();
    // The file name is taken from the arguments as bytes (UTF-8 on Windows),
    // before Qt sees them.
    const std::vector<std::string> arguments = quill::cmdline::programArguments(argc, argv);
    const ParsedCommandLine parsed = parseCommandLine({arguments.begin(), arguments.end()});
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
    case CliOptions::Action::LockPasswordHash:
        return toInt(quill::printUnlockHash(stdout, stderr));
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
    if (options.action == CliOptions::Action::Recipes) {
        return toInt(runRecipeCommand(options, store, stdout, console));
    }
    // A locked station runs only recipes and work orders, with what the
    // system fixes; quill-cli is never unlocked.
    if (const auto refused =
            quill::lockRefusal(quill::lockStateOf(store.fixedSettings()), options)) {
        return refuseUsage(*refused, options, console);
    }
    if (const quill::HistoryStatus refused = quill::tlsRefusal(store, options.historyUrl)) {
        return refuseUsage(refused->text(), options, console);
    }
    // SIGINT and SIGTERM end whatever the process waits for: the events'
    // target, then the run, from the event loop.
    std::function<void(int)> onSignal;
    const SignalWatcher watcher([&onSignal](int signal) {
        if (onSignal) {
            onSignal(signal);
        }
    });
    std::unique_ptr<quill::events::EventWriter> events;
    if (options.events) {
        int refused = 0;
        events = openEvents(options, console, refused);
        if (!events) {
            return refused;
        }
    }
    // Every download is recorded; the rows are written while it runs, and
    // the last before the program ends.
    quill::RecordKeeper keeper(text::ProgramName, options.operatorName, store, options.historyUrl,
                               [&console](const std::string& text) { console.error(text); });
    // Its waits for the history end at a signal, which the event loop
    // would only hear once they were over.
    keeper.setSignalled(
        [] { return SignalWatcher::caught() > 0 ? SignalWatcher::lastSignal() : 0; });
    int status = 0;
    std::string retry;
    if (options.repeat) {
        RepeatRun run(options, store, console, keeper, events.get());
        onSignal = [&run](int signal) { run.interrupt(signal); };
        status = run.exec();
        onSignal = nullptr;
    } else {
        CliRun run(options, store, console, keeper, stderr, true, events.get());
        onSignal = [&run](int signal) { run.interrupt(signal); };
        status = run.exec().status();
        onSignal = nullptr;
        retry = run.retry();
        if (options.json) {
            // The only thing quill-cli writes on standard output, unless --events - does.
            std::puts(run.json().c_str());
        }
    }
    // A signal from now on cuts the broker's last moment and the history's
    // short.
    g_signalsBefore = SignalWatcher::caught();
    if (events) {
        // What could not be delivered is said once, here; it changes no outcome.
        if (const std::string undelivered = events->runEnded(status, retry); !undelivered.empty()) {
            console.error(undelivered);
        }
    }
    return finished(keeper, status);
}
