// SPDX-License-Identifier: MIT
#pragma once
// A real ser2net serving one serial device over the network, for the tests:
// started in the foreground on a free localhost port, configured on its
// command line alone (no lock files, no system configuration), with the
// options the program needs of it (the old user kicked, no character delay,
// no Nagle delay). scripts/deps.sh installs it; a test that cannot start it
// fails, it never skips.

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QThread>

#include <string>

namespace quill::test {

class Ser2net {
  public:
    explicit Ser2net(const std::string& device) {
        QTcpServer free;
        free.listen(QHostAddress::LocalHost);
        m_port = free.serverPort();
        free.close();
        // YAML, # for a new line.
        const std::string port = std::to_string(m_port);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(
            QStringLiteral("/usr/sbin/ser2net"),
            {QStringLiteral("-d"), QStringLiteral("-u"), QStringLiteral("-Y"),
             QString::fromStdString("connection: &quill#  accepter: telnet(rfc2217),tcp(nodelay),"
                                    "127.0.0.1," +
                                    port + "#  connector: serialdev," + device +
                                    ",9600n81,local#  options:#    kickolduser: true#"
                                    "    chardelay: false")});
        // Up when the kernel has it listening (a connection to find out
        // would open the device): /proc/net/tcp's line of 127.0.0.1 in its
        // byte order, the port and state 0A. One whose port is taken keeps
        // running without.
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
    ~Ser2net() { kill(); }

    bool ok() const { return m_ok; }
    std::string error() {
        return m_process.errorString().toStdString() + m_process.readAll().toStdString();
    }
    std::string url() const { return "rfc2217://127.0.0.1:" + std::to_string(m_port); }
    // Ends it at once, as a crash or a power cut would.
    void kill() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

  private:
    QProcess m_process;
    uint16_t m_port = 0;
    bool m_ok = false;
};

} // namespace quill::test
