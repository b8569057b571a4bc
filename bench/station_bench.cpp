// SPDX-License-Identifier: MIT
// The windows' own thread under load, measured on Qt's offscreen platform:
//
//   stall DEVSIM [N]        a round of the station window on N devices of
//                           quill-devsim that answer at once (16): the
//                           longest gap between the ticks of a 5 ms timer
//                           on the window's thread, from F5 to the round's end
//   timing DEVSIM [N] [MS]  one device, then N at once (32), each taking MS
//                           ms to take a record and MS to write it (2), as a
//                           real one does: each device's download time
//                           beside the single download's
//   yield [ROWS]            the History window on ROWS attempts (100,000):
//                           the Yield tab's answer, from its choice to its
//                           chart, and again after a filter; the longest gap
//                           of the same timer meanwhile
//
//     cmake --preset bench && cmake --build build/bench --target quill_station_bench quill-devsim
//     build/bench/bench/quill_station_bench stall build/bench/tools/devsim/quill-devsim

#include "history/historyschema.h"
#include "history/historystore.h"
#include "qt/qtsettingsstore.h"
#include "ui/frmhistory.h"
#include "ui/frmstation.h"
#include "ui/yieldtab.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <time.h>

using namespace quill;

namespace {

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

std::string scratchFile(const std::string& name) {
    return scratch().filePath(QString::fromStdString(name)).toStdString();
}

// The longest gap between the ticks of a 5 ms timer on this thread.
class StallMeter {
  public:
    StallMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 gap = m_since.restart();
            // QUILL_BENCH_GAPS: each gap over 20 ms, and when it ended.
            if (gap > 20 && qEnvironmentVariableIsSet("QUILL_BENCH_GAPS")) {
                std::fprintf(stderr, "gap %lld ms at %lld ms\n", gap, m_start.elapsed());
            }
            m_longest = std::max(m_longest, gap);
        });
        m_since.start();
        m_start.start();
        m_timer.start(5);
    }
    qint64 longestMs() const { return m_longest; }

  private:
    QTimer m_timer;
    QElapsedTimer m_since;
    QElapsedTimer m_start;
    qint64 m_longest = 0;
};

// The application, timing each event it delivers on this thread: the
// longest is what the window's own code holds the thread for, apart from
// what the machine's other work takes from it.
// The longest stretch of one piece of code, and what it was.
struct Longest {
    qint64 us = 0;
    char what[120] = {};
};

class TimedApplication final : public QApplication {
  public:
    using QApplication::QApplication;
    // The time between two events' starts or ends is what one piece of
    // code held the thread for; a nested loop's events split the one
    // around them. Counted twice: on the clock, and in the thread's own
    // CPU time, which leaves out what the machine's other work took.
    bool notify(QObject* receiver, QEvent* event) override {
        mark(receiver, event);
        const bool handled = QApplication::notify(receiver, event);
        mark(receiver, event);
        return handled;
    }
    static void reset() {
        s_wall = Longest();
        s_cpu = Longest();
        s_since.start();
        s_cpuSince = cpuUs();
    }
    static const Longest& wall() { return s_wall; }
    static const Longest& cpu() { return s_cpu; }

  private:
    static qint64 cpuUs() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
    }
    static void note(Longest& longest, qint64 us, QObject* receiver, QEvent* event) {
        if (us > longest.us) {
            longest.us = us;
            std::snprintf(longest.what, sizeof longest.what, "%s, event %d",
                          receiver->metaObject()->className(), int(event->type()));
        }
    }
    static void mark(QObject* receiver, QEvent* event) {
        if (!s_since.isValid() || QThread::currentThread() != qApp->thread()) {
            return;
        }
        const qint64 cpu = cpuUs();
        note(s_wall, s_since.nsecsElapsed() / 1000, receiver, event);
        note(s_cpu, cpu - s_cpuSince, receiver, event);
        s_since.restart();
        s_cpuSince = cpu;
    }
    static inline QElapsedTimer s_since;
    static inline qint64 s_cpuSince = 0;
    static inline Longest s_wall;
    static inline Longest s_cpu;
};

bool waitFor(const std::function<bool()>& done, int ms) {
    for (const QDeadlineTimer deadline(ms); !done();) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

// A hex file of `kib` KiB of data in 16-byte records.
std::string hexFile(int kib) {
    const std::string path = scratchFile("app.hex");
    std::ofstream out(path, std::ios::binary);
    char line[64];
    for (int address = 0; address < kib * 1024; address += 16) {
        unsigned sum = 16 + (address >> 8 & 0xFF) + (address & 0xFF);
        int n = std::snprintf(line, sizeof line, ":10%04X00", address & 0xFFFF);
        for (int i = 0; i < 16; ++i) {
            const unsigned byte = (address + i * 7) & 0xFF;
            sum += byte;
            n += std::snprintf(line + n, sizeof line - size_t(n), "%02X", byte);
        }
        std::snprintf(line + n, sizeof line - size_t(n), "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
        out << line;
    }
    out << ":00000001FF\r\n";
    return path;
}

// quill-devsim playing `count` devices with links tty1 ... ttyN.
class Devices {
  public:
    Devices(const char* devsim, int count, int deviceMs) {
        const QString ms = QString::number(deviceMs);
        m_process.start(QString::fromLocal8Bit(devsim),
                        {QStringLiteral("--count"), QString::number(count),
                         QStringLiteral("--record-ack-ms"), ms, QStringLiteral("--record-write-ms"),
                         ms, QStringLiteral("--erase-ms"), QStringLiteral("5"),
                         QStringLiteral("--link"), QString::fromStdString(scratchFile("tty"))});
        for (int k = 0; k < count; ++k) {
            while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
            }
            m_process.readLine();
        }
        for (int k = 1; k <= count; ++k) {
            m_ports.push_back(scratchFile("tty") + (count == 1 ? "" : std::to_string(k)));
        }
    }
    ~Devices() {
        m_process.terminate();
        m_process.waitForFinished();
    }
    const std::vector<std::string>& ports() const { return m_ports; }

  private:
    QProcess m_process;
    std::vector<std::string> m_ports;
};

// A round of the station window on `ports`, the Manual prompt answered OK;
// its report.
struct Stalls {
    qint64 tickGapMs = 0; // the longest gap between the meter's ticks
    Longest wall, cpu;    // the longest stretch of one piece of code
};

RunReport round(const std::vector<std::string>& ports, const std::string& file, Stalls* stalls) {
    QtSettingsStore store(scratchFile("quill.ini"));
    RunRequest given;
    given.ports = ports;
    given.baud = 38400;
    given.device = 0;
    given.file = file;
    auto* window = new frmStation(store, given);
    window->show();
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (qEnvironmentVariableIsSet("QUILL_BENCH_GAPS")) {
                std::fprintf(stderr, "the prompt answered\n");
            }
            box->button(QMessageBox::Ok)->click();
        }
    });
    answer.start(10);
    window->activateWindow();
    QTest::qWaitForWindowActive(window);
    TimedApplication::reset();
    StallMeter meter;
    QTest::keyClick(window, Qt::Key_F5);
    waitFor([&] { return !window->running(); }, 600000);
    if (stalls != nullptr) {
        *stalls = {meter.longestMs(), TimedApplication::wall(), TimedApplication::cpu()};
    }
    const RunReport report = window->lastRound();
    for (const std::string& message : report.messages) {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
    delete window;
    return report;
}

int complete(const RunReport& run) {
    return static_cast<int>(std::count_if(run.devices.begin(), run.devices.end(),
                                          [](auto& d) { return d.outcome == Outcome::Complete; }));
}

int stall(const char* devsim, int count) {
    const std::string file = hexFile(64);
    Devices line(devsim, count, 0);
    Stalls stalls;
    QElapsedTimer took;
    took.start();
    const RunReport run = round(line.ports(), file, &stalls);
    std::printf("%d instant devices, 64 KiB each: %d complete in %.2f s. The window's thread: "
                "longest gap between 5 ms ticks %lld ms; longest stretch of one piece of code "
                "%.1f ms on the clock (%s), %.1f ms of its own CPU time (%s)\n",
                count, complete(run), double(took.elapsed()) / 1000, stalls.tickGapMs,
                double(stalls.wall.us) / 1000, stalls.wall.what, double(stalls.cpu.us) / 1000,
                stalls.cpu.what);
    return complete(run) == count ? 0 : 1;
}

int timing(const char* devsim, int count, int deviceMs) {
    const std::string file = hexFile(16);
    double single = 0;
    {
        Devices one(devsim, 1, deviceMs);
        const RunReport run = round(one.ports(), file, nullptr);
        single = run.devices.front().progress.seconds;
    }
    Devices line(devsim, count, deviceMs);
    Stalls stalls;
    const RunReport run = round(line.ports(), file, &stalls);
    double best = 1e9, worst = 0;
    for (const DeviceReport& d : run.devices) {
        best = std::min(best, d.progress.seconds);
        worst = std::max(worst, d.progress.seconds);
    }
    std::printf("16 KiB, devices of %d + %d ms a record: one device %.3f s; %d devices: %d "
                "complete, fastest %.3f s, slowest %.3f s (%.1f%% over the single); longest "
                "stall %lld ms\n",
                deviceMs, deviceMs, single, count, complete(run), best, worst,
                100 * (worst / single - 1), stalls.tickGapMs);
    return 0;
}

// `rows` ended attempts over 30 days, one in ten failed in one of three ways,
// written in one transaction.
HistoryLocation history(int rows) {
    const HistoryLocation at = sqliteHistory(scratchFile("history.sqlite"));
    HistoryStore::open(at);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("f"));
        db.setDatabaseName(QString::fromStdString(at.path));
        db.open();
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(schema::insertAttempt());
        const char* failures[] = {"no_erase_answer", "port_failure", "tracker_handshake"};
        for (int n = 0; n < rows; ++n) {
            Attempt a;
            a.startedMs = 1796567400000 + int64_t(n) * (30LL * 86400000 / rows);
            a.endedMs = a.startedMs + 41000;
            a.station = "line-2";
            a.program = "quill";
            a.port = "/dev/ttyUSB" + std::to_string(n % 16);
            a.filePath = "/srv/firmware/ostrel-2.4.1.hex";
            a.outcome = n % 10 == 0 ? failures[n / 10 % 3] : "complete";
            for (const QVariant& value : schema::values(a)) {
                insert.addBindValue(value);
            }
            insert.exec();
        }
        db.commit();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("f"));
    return at;
}

int yield(int rows) {
    frmHistory window(history(rows));
    window.show();
    auto* count = window.findChild<QLabel*>(QStringLiteral("lblCount"));
    waitFor([&] { return count->text().startsWith(QString::number(rows)); }, 120000);
    auto* tab = window.findChild<YieldTab*>();
    bool drawn = false;
    QObject::connect(tab, &YieldTab::drawn, [&] { drawn = true; });
    const auto answer = [&](const char* what, const std::function<void()>& ask) {
        drawn = false;
        StallMeter meter;
        QElapsedTimer took;
        took.start();
        ask();
        waitFor([&] { return drawn; }, 60000);
        std::printf("%s: %lld ms (longest stall %lld ms)\n", what, took.elapsed(),
                    meter.longestMs());
    };
    std::printf("%d attempts\n", rows);
    answer("the Yield tab chosen", [&] { window.findChild<QTabWidget*>()->setCurrentWidget(tab); });
    answer("a filter typed (ttyusb1)", [&] {
        window.findChild<QLineEdit*>(QStringLiteral("txtFilter"))
            ->setText(QStringLiteral("ttyusb1"));
    });
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The rows of the rounds go to the scratch folder, never the user's history.
    qputenv("XDG_DATA_HOME", scratch().path().toUtf8());
    qputenv("XDG_STATE_HOME", scratch().path().toUtf8());
    TimedApplication app(argc, argv);
    const std::string what = argc > 1 ? argv[1] : "";
    const auto number = [&](int at, int otherwise) {
        return argc > at ? std::atoi(argv[at]) : otherwise;
    };
    if (what == "stall" && argc > 2) {
        return stall(argv[2], number(3, 16));
    }
    if (what == "timing" && argc > 2) {
        return timing(argv[2], number(3, 32), number(4, 2));
    }
    if (what == "yield") {
        return yield(number(2, 100000));
    }
    std::fprintf(stderr, "usage: %s stall DEVSIM [N] | timing DEVSIM [N] [MS] | yield [ROWS]\n",
                 argv[0]);
    return 2;
}
