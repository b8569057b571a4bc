// SPDX-License-Identifier: MIT
// The smallest host that does a download's exchange on the platform Quill is
// built on: QSerialPort in Qt's event loop, the whole file in memory, the
// next record written from the readyRead handler, and a timer that looks
// once a second whether records still go out (armed once, never restarted).
// Nothing else: the floor under quill-cli's cost per record on this
// platform, beside minimal_loop.cpp's blocking reads and writes. With --notifier the port is a
// plain file descriptor watched by a QSocketNotifier, read and written with read(2) and write(2):
// Qt's event loop alone, without QSerialPort. With --no-glib the event loop is Qt's own rather than
// GLib's.
//
//   qt_loop DEVICE FILE [--notifier] [--no-glib]

#include <QCoreApplication>
#include <QFile>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char XON = 0x11;
constexpr char XOFF = 0x13;

bool hasOption(int argc, char** argv, const char* option) {
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0) {
            return true;
        }
    }
    return false;
}

// 38400 baud, mark parity, 8 data bits, 1 stop bit, raw, as minimal_loop.cpp.
int openRaw(const char* device) {
    const int fd = ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    if (fd < 0 || tcgetattr(fd, &tio) != 0) {
        return -1;
    }
    cfmakeraw(&tio);
    cfsetspeed(&tio, B38400);
    tio.c_cflag |= PARENB | CMSPAR | PARODD | CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DEVICE FILE [--notifier] [--no-glib]\n", argv[0]);
        return 2;
    }
    if (hasOption(argc, argv, "--no-glib")) {
        qputenv("QT_NO_GLIB", "1");
    }
    QCoreApplication app(argc, argv);
    const bool useNotifier = hasOption(argc, argv, "--notifier");
    QFile in(QString::fromLocal8Bit(argv[2]));
    if (!in.open(QIODevice::ReadOnly)) {
        return 1;
    }
    const QByteArray file = in.readAll();
    std::vector<QByteArray> records;
    for (qsizetype at = 0; at < file.size();) {
        qsizetype end = at;
        while (end < file.size() && file[end] != '\r' && file[end] != '\n') {
            ++end;
        }
        if (end > at && file[at] == ':') {
            records.push_back(file.mid(at, end - at) + "\r\n");
        }
        at = end + 1;
    }

    QSerialPort port;
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    if (useNotifier) {
        fd = openRaw(argv[1]);
        if (fd < 0) {
            std::perror(argv[1]);
            return 1;
        }
        notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    } else {
        port.setPortName(QString::fromLocal8Bit(argv[1]));
        if (!port.open(QIODevice::ReadWrite)) {
            std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(port.errorString()));
            return 1;
        }
        port.setBaudRate(38400);
        port.setParity(QSerialPort::MarkParity);
        port.setDataBits(QSerialPort::Data8);
        port.setStopBits(QSerialPort::OneStop);
        port.setFlowControl(QSerialPort::NoFlowControl);
    }
    const auto write = [&](const QByteArray& bytes) {
        if (useNotifier) {
            return ::write(fd, bytes.constData(), bytes.size()) == bytes.size();
        }
        return port.write(bytes) == bytes.size();
    };

    size_t next = 0;
    bool erased = false;
    bool sawXoff = false;
    const auto send = [&] {
        if (next == records.size()) { // the device has answered the end record
            app.exit(0);
            return;
        }
        if (!write(records[next++])) {
            app.exit(1);
        }
    };
    const auto received = [&] {
        char buffer[256];
        for (qint64 n; (n = useNotifier ? ::read(fd, buffer, sizeof buffer)
                                        : port.read(buffer, sizeof buffer)) > 0;) {
            for (qint64 i = 0; i < n; ++i) {
                if (buffer[i] == XOFF) {
                    sawXoff = true;
                } else if (sawXoff && (erased || buffer[i] == XON)) {
                    sawXoff = false;
                    erased = true;
                    send();
                }
            }
        }
    };
    if (useNotifier) {
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &app, received);
    } else {
        QObject::connect(&port, &QSerialPort::readyRead, &app, received);
    }
    // A device that falls silent ends the run.
    QTimer watchdog;
    size_t seen = 0;
    QObject::connect(&watchdog, &QTimer::timeout, &app, [&] {
        if (next == seen) {
            std::fprintf(stderr, "the device fell silent after %zu records\n", next);
            app.exit(1);
        }
        seen = next;
    });
    watchdog.start(1000);
    write(":01000000FF00\r\n");
    return app.exec();
}
