// SPDX-License-Identifier: MIT
#include "harness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <map>
#include <random>

namespace quill::e2e {

namespace {

// Every process ends within this, every awaited text comes within the other.
constexpr int processMs = 20000;
constexpr int sayMs = 10000;

// The devices answer at once; a test slows one down with options of its own.
constexpr const char* timings = "--record-ack-ms 0 --record-write-ms 0 --erase-ms 5 "
                                "--reboot-ms 20 --frame-ack-ms 1";

QStringList words(const std::string& text) {
    return QString::fromStdString(text).split(u' ', Qt::SkipEmptyParts);
}

// Runs objcopy with these options from one file of the scratch folder to another.
void objcopy(const Scratch& s, const std::string& options, const std::string& from,
             const std::string& to) {
    QProcess p;
    p.start(QStringLiteral(QUILL_OBJCOPY), words(options + " " + s.path(from) + " " + s.path(to)));
    ASSERT_TRUE(p.waitForFinished(processMs) && p.exitCode() == 0)
        << p.readAllStandardError().toStdString();
}

} // namespace

Scratch::Scratch() : m_environment(QProcessEnvironment::systemEnvironment()) {
    for (const char* folder : {"config", "state", "data"}) {
        QDir(m_dir.path()).mkpath(QString::fromLatin1(folder));
    }
    m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(path("config")));
    m_environment.insert(QStringLiteral("XDG_STATE_HOME"), QString::fromStdString(path("state")));
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(path("data")));
}

std::string Scratch::path(const std::string& name) const {
    return m_dir.filePath(QString::fromStdString(name)).toStdString();
}

std::string firmware(const Scratch& s, size_t size) {
    std::mt19937 random(0x9E3779B9u);
    std::string bytes(size, '\0');
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random() >> 24); });
    writeFile(s.path("app.bin"), bytes);
    objcopy(s, "-I binary -O ihex --change-addresses 0x08000000", "app.bin", "app.hex");
    // The binary read back by objcopy: the reference the devices' images must equal.
    objcopy(s, "-I ihex -O binary --gap-fill 0xff", "app.hex", "reference.bin");
    EXPECT_TRUE(readFile(s.path("reference.bin")) == bytes);
    return bytes;
}

Devices::Devices(const Scratch& s, int count, const std::string& options)
    : m_scratch(s), m_count(count) {
    m_process.setWorkingDirectory(QString::fromStdString(s.path("")));
    m_process.start(QStringLiteral(QUILL_DEVSIM),
                    words("--count " + std::to_string(count) + " " + timings +
                          " --image image.bin --log devsim.log --link tty " + options));
    // One line per device on its standard output, its terminal: it is ready.
    for (int k = 1; k <= count; ++k) {
        while (!m_process.canReadLine() && m_process.waitForReadyRead(sayMs)) {
        }
        m_process.readLine();
    }
}

std::string Devices::numbered(const std::string& name, const std::string& extension, int k) const {
    return m_scratch.path(name + (m_count == 1 ? "" : std::to_string(k)) + extension);
}

std::string Devices::port(int k) const {
    return numbered("tty", "", k);
}

std::string Devices::ports() const {
    std::string text;
    for (int k = 1; k <= m_count; ++k) {
        text += " -p " + port(k);
    }
    return text;
}

void Devices::stop() {
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    m_process.terminate();
    if (!m_process.waitForFinished(processMs)) {
        m_process.kill();
        m_process.waitForFinished(processMs);
    }
}

std::string Devices::image(int k) {
    stop();
    return readFile(numbered("image", ".bin", k));
}

std::string Devices::log(int k) const {
    return readFile(numbered("devsim", ".log", k));
}

int Devices::heard(int k) const {
    const std::string text = log(k);
    return count(text, " host> ") + count(text, " parity ignored");
}

bool Devices::waitHeard(const std::string& text, int times, int k) const {
    // The device writes its log as it goes.
    for (const QDeadlineTimer deadline(sayMs); count(log(k), text) < times; QThread::msleep(5)) {
        if (deadline.hasExpired()) {
            return false;
        }
    }
    return true;
}

std::vector<QJsonObject> historyRows(const Scratch& s, const std::string& filter) {
    const Result r = runCli(s, "--history --json " + filter);
    EXPECT_EQ(r.code, 0) << r.err;
    std::vector<QJsonObject> rows;
    for (const std::string& line : test::splitLines(r.out)) {
        rows.push_back(Result{0, {}, line}.json());
    }
    return rows;
}

Events checkedEvents(const std::string& text, int code) {
    QProcess validator;
    validator.setProcessChannelMode(QProcess::MergedChannels);
    validator.start(QStringLiteral(QUILL_PYTHON),
                    {QStringLiteral(QUILL_VALIDATE_EVENTS), QStringLiteral(QUILL_EVENTS_SCHEMA)});
    validator.write(QByteArray::fromStdString(text));
    validator.closeWriteChannel();
    EXPECT_TRUE(validator.waitForFinished(processMs) && validator.exitStatus() == 0 &&
                validator.exitCode() == 0)
        << validator.readAll().toStdString() << text;
    Events events;
    for (const std::string& line : test::splitLines(text)) {
        events.lines.push_back(Result{0, {}, line}.json());
    }
    if (events.lines.empty()) {
        ADD_FAILURE() << "no events";
        return events;
    }
    const QJsonObject& last = events.lines.back();
    EXPECT_EQ(events.lines.front()[u"event"].toString(), QStringLiteral("run_started"));
    EXPECT_EQ(std::pair(last[u"event"].toString(), last[u"exit_code"].toInt()),
              std::pair(QStringLiteral("run_ended"), code))
        << text;
    std::map<std::pair<QString, int>, int> ended; // device_ended lines of each port and unit
    for (const QJsonObject& line : events.lines) {
        EXPECT_EQ(line[u"run"], events.lines.front()[u"run"]);
        if (!line[u"port"].isString()) {
            continue;
        }
        const auto device = std::pair(line[u"port"].toString(), line[u"unit"].toInt());
        EXPECT_EQ(ended[device], 0)
            << "after its device_ended: " << QJsonDocument(line).toJson().toStdString();
        ended[device] += line[u"event"] == QStringLiteral("device_ended") ? 1 : 0;
    }
    for (const auto& [device, times] : ended) {
        EXPECT_EQ(times, 1) << device.first.toStdString() << " ended " << times << " times";
    }
    return events;
}

std::vector<QJsonObject> Events::of(const char* event, const std::string& port) const {
    std::vector<QJsonObject> found;
    for (const QJsonObject& line : lines) {
        if (line[u"event"].toString() == QLatin1String(event) &&
            (port.empty() || line[u"port"].toString().toStdString() == port)) {
            found.push_back(line);
        }
    }
    return found;
}

QJsonObject Result::json() const {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(out), &error);
    EXPECT_TRUE(error.error == QJsonParseError::NoError && doc.isObject()) << out;
    return doc.object();
}

Cli::Cli(const Scratch& s, const std::string& args, const char* typed, const char* script,
         bool echoing) {
    m_process.setProcessEnvironment(s.environment());
    if (typed != nullptr) {
        std::string error;
        m_terminal = pty::Pty::open(error);
        EXPECT_TRUE(m_terminal) << error;
        if (m_terminal && echoing) {
            termios line = m_terminal->line();
            line.c_lflag |= ECHO | ICANON | ISIG;
            EXPECT_EQ(::tcsetattr(m_terminal->slave(), TCSANOW, &line), 0);
        }
        // Waits in the terminal, held open, until quill-cli reads it.
        const std::string_view text(typed);
        EXPECT_TRUE(
            m_terminal->write({reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
        m_process.setStandardInputFile(QString::fromStdString(m_terminal->slavePath()));
    }
    m_process.start(QStringLiteral(QUILL_CLI), words(args));
    EXPECT_TRUE(m_process.waitForStarted(processMs));
    if (script != nullptr) {
        m_process.write(script);
        m_process.closeWriteChannel();
    }
}

bool Cli::waitSaid(const std::string& text, int times) {
    for (const QDeadlineTimer deadline(sayMs); count(m_err, text) < times;
         m_err += m_process.readAllStandardError().toStdString()) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
            return false;
        }
        m_process.waitForReadyRead(50);
    }
    return true;
}

void Cli::type(const std::string& text) {
    EXPECT_TRUE(
        m_terminal.value().write({reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
}

void Cli::signal(int number) {
    ASSERT_EQ(::kill(static_cast<pid_t>(m_process.processId()), number), 0);
}

Result Cli::finish() {
    // It may have ended already, while its words were awaited.
    const bool ended =
        (m_process.state() == QProcess::NotRunning || m_process.waitForFinished(processMs)) &&
        m_process.exitStatus() == QProcess::NormalExit;
    Result r;
    r.code = ended ? m_process.exitCode() : -1;
    if (!ended) {
        m_process.kill();
        m_process.waitForFinished(processMs);
    }
    r.err = m_err + m_process.readAllStandardError().toStdString();
    r.out = m_process.readAllStandardOutput().toStdString();
    return r;
}

std::string fields(const QJsonObject& row, std::initializer_list<const char16_t*> names) {
    std::string values;
    for (const char16_t* name : names) {
        values += row[QStringView(name)].toVariant().toString().toStdString() + "|";
    }
    return values;
}

} // namespace quill::e2e
