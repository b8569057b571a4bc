// SPDX-License-Identifier: MIT
#pragma once
// A pseudo-terminal pair standing in for a serial cable: the program under
// test opens the slave, the test plays the device on the master.

#include <QByteArray>
#include <QSocketNotifier>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <termios.h>

namespace quill::test {

class PtyPair {
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_master >= 0 && m_slave >= 0; }
    const std::string& slavePath() const { return m_slavePath; }
    int slaveFd() const { return m_slave; }
    // The slave's line configuration as the kernel holds it.
    termios slaveTermios() const;

    bool writeMaster(const QByteArray& bytes);
    bool writeMaster(std::span<const uint8_t> bytes);
    // What the master has read so far; filled while the event loop runs,
    // each chunk also handed to the handler if one is set.
    const QByteArray& received() const { return m_received; }
    using ReadHandler = std::function<void(std::span<const uint8_t> chunk)>;
    void setReadHandler(ReadHandler handler) { m_onRead = std::move(handler); }
    // The device side goes away: the slave is hung up.
    void closeMaster();

  private:
    int m_master = -1;
    int m_slave = -1; // held open: the termios stay readable, no hang-up between opens
    std::string m_slavePath;
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
