// SPDX-License-Identifier: MIT
#pragma once
// A real server for the tests, started in the foreground on a free
// localhost port. It is up when the kernel has it listening, which asks for
// no connection (one to ser2net would open its device): /proc/net/tcp's
// line of 127.0.0.1 in its byte order, the port and state 0A. One whose
// port is taken keeps running without. scripts/deps.sh installs the
// servers; a test that cannot start one fails, it never skips.

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QThread>

#include <string>
#include <vector>

namespace quill::test {

inline QStringList qStrings(const std::vector<std::string>& words) {
    QStringList list;
    for (const std::string& word : words) {
        list << QString::fromStdString(word);
    }
    return list;
}

class LocalServer {
  public:
    LocalServer() {
        QTcpServer free;
        free.listen(QHostAddress::LocalHost);
        m_port = free.serverPort();
    }
    ~LocalServer() { kill(); }

    bool ok() const { return m_ok; }
    std::string error() {
        return m_process.errorString().toStdString() + m_process.readAll().toStdString();
    }
    uint16_t port() const { return m_port; }
    // Ends it at once, as a crash or a power cut would.
    void kill() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

  protected:
    void start(const QString& program, const QStringList& arguments) {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(program, arguments);
        const QByteArray entry = QStringLiteral(": 0100007F:%1 00000000:0000 0A")
                                     .arg(uint{m_port}, 4, 16, QLatin1Char('0'))
                                     .toUpper()
                                     .toLatin1();
        const QDeadlineTimer deadline(5000);
        while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired() && !m_ok) {
            QFile table(QStringLiteral("/proc/net/tcp"));
            m_ok = table.open(QIODevice::ReadOnly) && table.readAll().contains(entry);
            QThread::msleep(m_ok ? 0 : 10);
        }
    }

  private:
    QProcess m_process;
    uint16_t m_port = 0;
    bool m_ok = false;
};

} // namespace quill::test
