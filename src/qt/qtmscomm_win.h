// SPDX-License-Identifier: MIT
#pragma once
// The serial control MSComm1 over the Win32 communications API, for a port
// on this machine: \\.\COMn opened for this program alone, the line set
// through the DCB (mark and space parity included), and a read always
// overlapped and pending, its end looked for by a timer of Qt's loop every
// millisecond. Wine's ports on a pseudo-terminal answer WaitCommEvent at
// once with nothing, so the control never waits on comm events; and Qt 6.4's
// QWinEventNotifier on the read's event brought the process down under Wine
// when it went, so the loop looks instead of being told.

#include "qt/commbase.h"
#include "qt/lineconfig.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill {

class QtMSComm final : public CommBase {
  public:
    explicit QtMSComm(PortResolver resolver);
    ~QtMSComm() override;
    QtMSComm(const QtMSComm&) = delete;
    QtMSComm& operator=(const QtMSComm&) = delete;

    bool portOpen() const override { return m_handle != nullptr; }

    PortStatus setSettings(const std::string& text) override;

    PortStatus output(std::span<const uint8_t> data) override;

    // Empties the driver's receive queue and what the control holds.
    void setInBufferCount(int16_t count) override;

    std::vector<uint8_t> input() override;

    // For the adapter check: Windows does not tell a pseudo-terminal apart,
    // what the driver refused of the last line asked of it, and the line it
    // holds, e.g. "9600,M,8,1".
    bool pseudoTerminal() const { return false; }
    const std::optional<LineProblem>& lineProblem() const { return m_lineProblem; }
    std::string lineReadBack() const;

  private:
    struct Io;
    PortStatus openPort() override;
    void closePort() override;
    bool hasInput() const override { return !m_received.empty(); }
    PortError lostError() const override;
    PortStatus applyLine();
    void startRead();
    void readDone();

    void* m_handle = nullptr; // the port's HANDLE while open
    std::unique_ptr<Io> m_io;
    std::vector<uint8_t> m_received;
    std::optional<LineProblem> m_lineProblem;
    QObject m_context; // the thread the port lives on
    QTimer m_readLook; // looks for the read's end
};

} // namespace quill
