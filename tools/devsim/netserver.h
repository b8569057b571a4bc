// SPDX-License-Identifier: MIT
#pragma once
// quill-devsim over the network: one device served on a TCP port as a
// serial port server serves its line (Telnet with the serial port control
// option), to one client at a time. The device hears the client's data at
// the line the client set; its answers go back when their time comes. A
// second client while one is connected is told the device is busy and
// closed; when the client leaves, the device starts afresh.

#include "devsim/devicefiles.h"
#include "devsim/devicemodel.h"
#include "devsim/options.h"
#include "devsim/telnetserver.h"

#include <QTcpServer>
#include <QTimer>

#include <chrono>
#include <map>
#include <optional>
#include <string>

class QTcpSocket;

namespace quill::devsim {

// What a second client is told before its connection is closed.
inline constexpr const char* busyText =
    "quill-devsim: the device is busy with another connection; try again once it has ended.\r\n";

class NetServer {
  public:
    NetServer(const DeviceOptions& options, bool exitAfterDownload);
    NetServer(const NetServer&) = delete;
    NetServer& operator=(const NetServer&) = delete;

    // Listens on host (an IP address or localhost) and port (0: a free
    // one). Empty when it listens, else what went wrong.
    std::string listen(const std::string& host, int port);
    // rfc2217://HOST:PORT as a client on this machine reaches it.
    std::string url() const;
    bool logOpen() const { return m_files.logOpen(); }
    // At exit: the image as it stands, unless written already.
    void finish();

  private:
    using Clock = std::chrono::steady_clock;

    void onConnection();
    void onReadyRead();
    void onDisconnected();
    void startDevice();
    void sendDue();
    void afterAnswers();
    void writeImage();
    void log(const std::string& line);

    const DeviceOptions m_options;
    const bool m_exitAfterDownload;
    DeviceFiles m_files;
    QTcpServer m_server;
    QTcpSocket* m_client = nullptr; // a child of m_server
    TelnetServer m_telnet;
    std::optional<DeviceModel> m_model;
    std::multimap<Clock::time_point, std::vector<uint8_t>> m_pending; // equal times keep order
    QTimer m_due;
    bool m_imageWritten = true; // nothing to write before a download has begun
    bool m_unplugged = false;
};

} // namespace quill::devsim
