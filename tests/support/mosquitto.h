// SPDX-License-Identifier: MIT
#pragma once
// A real mosquitto broker for the tests, and mosquitto_sub listening to
// it: the broker with a configuration of its own in a scratch folder (no
// system configuration, no persistence), for anyone or for one user, on TLS
// with a certificate made for it when asked.

#include "localserver.h"

#include <gtest/gtest.h>

#include <QDir>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace quill::test {

class Mosquitto : public LocalServer {
  public:
    // `user` empty: anyone may publish. `tls`: the listener speaks TLS with
    // a certificate for 127.0.0.1, ca.crt in `folder` (what a client trusts).
    Mosquitto(const std::string& folder, const std::string& user = {},
              const std::string& password = {}, bool tls = false) {
        QDir().mkpath(QString::fromStdString(folder));
        std::string config = "listener " + std::to_string(port()) +
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
        start(QStringLiteral("/usr/sbin/mosquitto"),
              {QStringLiteral("-c"), QString::fromStdString(folder + "/mosquitto.conf")});
    }
    std::string url(const std::string& topic, const char* scheme = "mqtt") const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port()) + "/" + topic;
    }

  private:
    void run(const char* program, const std::vector<std::string>& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QString::fromLatin1(program), qStrings(args));
        if (!p.waitForFinished(20000) || p.exitCode() != 0) {
            ADD_FAILURE() << program << ": " << p.readAll().toStdString();
        }
    }
};

// mosquitto_sub on the topics below `root`, QoS 1, subscribed before the
// constructor returns; its output line by line (its debug lines are not
// flushed on their own).
class Subscriber {
  public:
    Subscriber(const Mosquitto& broker, const std::string& root, const std::string& user = {},
               const std::string& password = {})
        : m_root(root + "/") {
        QStringList args =
            qStrings({"-oL", "mosquitto_sub", "-d", "-v", "-q", "1", "-h", "127.0.0.1", "-p",
                      std::to_string(broker.port()), "-t", root + "/#"});
        if (!user.empty()) {
            args << qStrings({"-u", user, "-P", password});
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
