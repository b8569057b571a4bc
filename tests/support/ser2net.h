// SPDX-License-Identifier: MIT
#pragma once
// A real ser2net serving one serial device over the network, for the tests:
// started in the foreground on a free localhost port, configured on its
// command line alone (no lock files, no system configuration), with the
// options the program needs of it (the old user kicked, no character delay,
// no Nagle delay). The test that cannot start it fails: it never skips.

#include <QProcess>

#include <cstdint>
#include <string>

namespace quill::test {

class Ser2net {
  public:
    explicit Ser2net(const std::string& device);
    ~Ser2net() { kill(); }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    // It listens; otherwise what it said is in error() (scripts/deps.sh
    // installs it).
    bool ok() const { return m_ok; }
    std::string error() {
        return m_process.errorString().toStdString() + ": " + m_process.readAll().toStdString();
    }
    std::string url() const { return "rfc2217://127.0.0.1:" + std::to_string(m_port); }
    // Ends it at once, as a crash or a power cut would.
    void kill();

  private:
    QProcess m_process;
    uint16_t m_port = 0;
    bool m_ok = false;
};

} // namespace quill::test
