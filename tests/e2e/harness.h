// SPDX-License-Identifier: MIT
#pragma once
// The one harness of the end-to-end tests: a scratch folder whose settings,
// state and data (history) folders quill-cli uses instead of the user's, quill-devsim
// playing one or more devices on pseudo-terminals, quill-cli run as a
// process with its standard input, a terminal or signals, and what each
// leaves behind. Every process gets the same time limits, every device the
// same timings unless a test says otherwise.

#include "hexlines.h"
#include "pty/pty.h"
#include "testtext.h"

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace quill::e2e {

using test::contains;
using test::count;
using test::Lines;
using test::readFile;
using test::writeFile;

class Scratch {
  public:
    Scratch();
    std::string path(const std::string& name) const;
    // The system's environment with the settings and state folders in here.
    const QProcessEnvironment& environment() const { return m_environment; }
    // ... and with this variable too, for the processes started from now on.
    void setVariable(const char* name, const std::string& value) {
        m_environment.insert(QString::fromLatin1(name), QString::fromStdString(value));
    }

  private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_environment;
};

// A deterministic pseudo-random binary of `size` bytes as app.bin, and as
// objcopy writes it as a hex file at 0x08000000, app.hex, so with extended
// linear address records. Returns the binary.
std::string firmware(const Scratch& s, size_t size);

// quill-devsim playing `count` devices, reached through links in the
// scratch folder; each writes its image and log there.
class Devices {
  public:
    Devices(const Scratch& s, int count, const std::string& options = {});
    ~Devices() { stop(); }

    std::string port(int k = 1) const; // the link to device k's terminal
    std::string ports() const;         // "-p PORT" for each device
    // Stops it: each device writes its image as it exits.
    void stop();
    std::string image(int k = 1);
    std::string log(int k = 1) const;
    // The lines and frames device k heard, understood or not.
    int heard(int k = 1) const;
    // Waits until device k's log holds `text` `times` times.
    bool waitHeard(const std::string& text, int times = 1, int k = 1) const;

  private:
    std::string numbered(const std::string& name, const std::string& extension, int k) const;

    const Scratch& m_scratch;
    int m_count;
    QProcess m_process;
};

struct Result {
    int code = -1; // -1: crashed or did not end in time
    std::string err, out;
    QJsonObject json() const; // standard output as one JSON object
};

// quill-cli, started with `args` (words). Its standard input is a terminal
// with `typed` typed into it when given, else a pipe that says `script`
// and ends, as Ctrl+D ends a terminal's input (nothing when none is given).
// The terminal is raw unless it is `echoing`, as a user's terminal is.
class Cli {
  public:
    Cli(const Scratch& s, const std::string& args, const char* typed = nullptr,
        const char* script = nullptr, bool echoing = false);
    // Waits until standard error holds `text` `times` times.
    bool waitSaid(const std::string& text, int times = 1);
    // Types `text` on its terminal (one given by `typed`).
    void type(const std::string& text);
    void signal(int number);
    // The terminal's line settings now (one given by `typed`).
    termios terminalLine() const { return m_terminal.value().line(); }
    Result finish();

  private:
    QProcess m_process;
    std::optional<pty::Pty> m_terminal;
    std::string m_err;
};

inline Result runCli(const Scratch& s, const std::string& args, const char* typed = nullptr,
                     const char* script = nullptr) {
    return Cli(s, args, typed, script).finish();
}

// The lines of quill-cli --events, each checked against the published
// schema by a real validator (Debian's python3-jsonschema), and against what
// every run promises: run_started first and run_ended last, with the
// process's exit status `code`; one run id; for each device (port and
// unit) exactly one device_ended, after all its other events.
struct Events {
    std::vector<QJsonObject> lines;
    // The lines of one event, in order; of one port when it is given.
    std::vector<QJsonObject> of(const char* event, const std::string& port = {}) const;
};
Events checkedEvents(const std::string& text, int code);

// The rows of the scratch folder's history that quill-cli --history --json
// lists with `filter`, newest first.
std::vector<QJsonObject> historyRows(const Scratch& s, const std::string& filter = {});

// The values of those fields of a row, texts and numbers alike, each followed by "|".
std::string fields(const QJsonObject& row, std::initializer_list<const char16_t*> names);

} // namespace quill::e2e
