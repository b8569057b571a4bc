// SPDX-License-Identifier: MIT
#pragma once
// A real mosquitto broker for the tests, and mosquitto_sub listening to
// it: the broker started in the foreground on a free localhost port with a
// configuration of its own in a scratch folder (no system configuration, no
// persistence), for anyone or for one user, on TLS with a certificate made
// for it when asked. scripts/deps.sh installs both; a test that cannot start
// them fails, it never skips.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QThread>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace quill::test {

class Mosquitto {
  public:
    // `user` empty: anyone may publish. `tls`: the listener speaks TLS with
    // a certificate for 127.0.0.1, ca.crt in `folder` (what a client trusts).
    Mosquitto(const std::string& folder, const std::string& user = {},
              const std::string& password = {}, bool tls = false) {
        QDir().mkpath(QString::fromStdString(folder));
        QTcpServer free;
        free.listen(QHostAddress::LocalHost);
        m_port = free.serverPort();
        free.close();
        std::string config = "listener " + std::to_string(m_port) +
                             " 127.0.0.1\npersistence false\nuser root\n"
                             "log_dest stdout\nlog_type error\nlog_type warning\n";
        if (!user.empty()) {
            run("mosquitto_passwd", {"-b", "-c", folder + "/passwords", user, password});
            config += "allow_anonymous false\npassword_file " + folder + "/passwords\n";
        } else {
            config += "allow_anonymous true\n";
        }
        if (tls) {
            run("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                            "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                            folder + "/server.key", "-out", folder + "/ca.crt"});
            config += "certfile " + folder + "/ca.crt\nkeyfile " + folder + "/server.key\n";
        }
        std::ofstream(folder + "/mosquitto.conf") << config;
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("/usr/sbin/mosquitto"),
                        {QStringLiteral("-c"), QString::fromStdString(folder + "/mosquitto.conf")});
        // Up when the kernel has it listening: /proc/net/tcp's line of
        // 127.0.0.1 in its byte order, the port and state 0A.
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
    ~Mosquitto() { kill(); }

    bool ok() const { return m_ok; }
    std::string error() {
        return m_process.errorString().toStdString() + m_process.readAll().toStdString();
    }
    uint16_t port() const { return m_port; }
    std::string url(const std::string& topic, const char* scheme = "mqtt") const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(m_port) + "/" + topic;
    }
    // Ends it at once, as a crash or a power cut would.
    void kill() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

  private:
    void run(const char* program, const std::vector<std::string>& args) {
        QProcess p;
        QStringList words;
        for (const std::string& arg : args) {
            words << QString::fromStdString(arg);
        }
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QString::fromLatin1(program), words);
        if (!p.waitForFinished(20000) || p.exitCode() != 0) {
            ADD_FAILURE() << program << ": " << p.readAll().toStdString();
        }
    }

    QProcess m_process;
    uint16_t m_port = 0;
    bool m_ok = false;
};

// mosquitto_sub on the topics below `root`, QoS 1, subscribed before the
// constructor returns; its output line by line (its debug lines are not
// flushed on their own).
class Subscriber {
  public:
    Subscriber(const Mosquitto& broker, const std::string& root, const std::string& user = {},
               const std::string& password = {})
        : m_root(root + "/") {
        QStringList args;
        for (const std::string& arg :
             {std::string("-oL"), std::string("mosquitto_sub"), std::string("-d"),
              std::string("-v"), std::string("-q"), std::string("1"), std::string("-h"),
              std::string("127.0.0.1"), std::string("-p"), std::to_string(broker.port()),
              std::string("-t"), root + "/#"}) {
            args << QString::fromStdString(arg);
        }
        if (!user.empty()) {
            args << QStringLiteral("-u") << QString::fromStdString(user) << QStringLiteral("-P")
                 << QString::fromStdString(password);
        }
        m_process.start(QStringLiteral("stdbuf"), args);
        m_ok = waitFor("received SUBACK", false);
    }
    ~Subscriber() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool ok() const { return m_ok; }
    // Waits until a message arrives on a topic ending in `end`.
    bool waitFor(const std::string& end) { return waitFor(end + " {", true); }
    // What arrived so far below the root: (topic, payload), in order.
    std::vector<std::pair<std::string, std::string>> messages() const {
        std::vector<std::pair<std::string, std::string>> found;
        size_t at = 0;
        for (size_t end = m_out.find('\n'); end != std::string::npos;
             at = end + 1, end = m_out.find('\n', at)) {
            const std::string line = m_out.substr(at, end - at);
            const size_t blank = line.find(' ');
            if (line.starts_with(m_root) && blank != std::string::npos) {
                found.emplace_back(line.substr(0, blank), line.substr(blank + 1));
            }
        }
        return found;
    }
    const std::string& output() const { return m_out; }

  private:
    bool waitFor(const std::string& text, bool message) {
        for (const QDeadlineTimer deadline(10000);
             m_out.find(text) == std::string::npos || (message && !m_out.ends_with('\n'));
             m_out += m_process.readAllStandardOutput().toStdString()) {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
                return false;
            }
            m_process.waitForReadyRead(50);
        }
        return true;
    }

    std::string m_root;
    QProcess m_process;
    std::string m_out;
    bool m_ok = false;
};

} // namespace quill::test
