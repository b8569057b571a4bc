// SPDX-License-Identifier: MIT
#include "ser2net.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QThread>

namespace quill::test {
namespace {

// Whether the kernel has a socket listening on this localhost port (a
// connection to find out would open the device for a session of its own):
// "sl: local_address rem_address st", the address in the kernel's byte
// order, state 0A.
bool listening(uint16_t port) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    const QString entry =
        QStringLiteral(": 0100007F:%1 00000000:0000 0A").arg(uint{port}, 4, 16, QLatin1Char('0'));
    return table.open(QIODevice::ReadOnly) && table.readAll().contains(entry.toUpper().toLatin1());
}

} // namespace

Ser2net::Ser2net(const std::string& device) {
    QTcpServer free;
    free.listen(QHostAddress::LocalHost);
    m_port = free.serverPort();
    free.close();
    // YAML with # for a new line.
    const std::string config = "connection: &quill#  accepter: telnet(rfc2217),tcp(nodelay),"
                               "127.0.0.1," +
                               std::to_string(m_port) + "#  connector: serialdev," + device +
                               ",9600n81,local#  options:#    kickolduser: true#"
                               "    chardelay: false";
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral("/usr/sbin/ser2net"),
                    {QStringLiteral("-d"), QStringLiteral("-u"), QStringLiteral("-Y"),
                     QString::fromStdString(config)});
    // One whose port is taken or whose configuration is bad keeps running:
    // it is up when it listens.
    const QDeadlineTimer deadline(5000);
    while (!(m_ok = listening(m_port)) && m_process.state() != QProcess::NotRunning &&
           !deadline.hasExpired()) {
        QThread::msleep(10);
    }
}

void Ser2net::kill() {
    m_process.kill();
    m_process.waitForFinished(5000);
}

} // namespace quill::test
