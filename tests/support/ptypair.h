// SPDX-License-Identifier: MIT
#pragma once
// A pseudo-terminal for the tests that drive a real serial port under Qt's
// event loop: the program under test opens the slave, the test plays the
// device on the master, whose output is read as it comes.

#include "pty/pty.h"

#include <QByteArray>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace quill::test {

class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_pty.has_value(); }
    const pty::Pty& pty() const { return *m_pty; }
    const std::string& slavePath() const { return m_pty->slavePath(); }
    int slaveFd() const { return m_pty->slave(); }
    termios slaveTermios() const { return m_pty->line(); }

    bool writeMaster(const QByteArray& bytes);
    bool writeMaster(std::span<const uint8_t> bytes) { return m_pty->write(bytes); }
    // What the master has read so far; filled while the event loop runs,
    // each chunk also handed to the handler if one is set.
    const QByteArray& received() const { return m_received; }
    using ReadHandler = std::function<void(std::span<const uint8_t> chunk)>;
    void setReadHandler(ReadHandler handler) { m_onRead = std::move(handler); }
    // The device side goes away: the slave is hung up.
    void closeMaster();

  private:
    std::optional<pty::Pty> m_pty;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_received;
    ReadHandler m_onRead;
};

// Runs the event loop until done() holds or timeoutMs have passed; the
// result of done() at the end.
bool waitFor(const std::function<bool()>& done, int timeoutMs);

// Runs the event loop for a bounded window, to count what happens in it.
void runEventsFor(int milliseconds);

} // namespace quill::test
