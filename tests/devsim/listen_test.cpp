// SPDX-License-Identifier: MIT
// quill-devsim --listen against quill-cli, both as processes: a whole
// download over the network, a wrong baud rate failing as it does on a
// terminal, and one client at a time.

#include "devsim/netserver.h"
#include "download/downloadtexts.h"
#include "harness.h"
#include "hexfile/hexfiletexts.h"
#include "shared/exitcodes.h"

#include <QTcpSocket>
#include <QUrl>

#include <gtest/gtest.h>

namespace quill::e2e {
namespace {

const std::string fast = " --record-ack-ms 0 --record-write-ms 0 --erase-ms 5 ";

// quill-devsim serving one device on a free port of 127.0.0.1; its image
// and log in the scratch folder.
class Served {
  public:
    Served(const Scratch& s, const std::string& options) : m_scratch(s) {
        m_process.setWorkingDirectory(QString::fromStdString(s.path("")));
        m_process.setProcessEnvironment(s.environment());
        m_process.start(QStringLiteral(QUILL_DEVSIM),
                        QString::fromStdString(
                            "--listen 127.0.0.1:0 --image net.bin --log net.log" + fast + options)
                            .split(QLatin1Char(' '), Qt::SkipEmptyParts));
        while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
        }
        m_url = m_process.readLine().trimmed().toStdString();
    }
    ~Served() { stop(); }
    const std::string& url() const { return m_url; }
    // Stopped, as by Ctrl+C: it writes its image as it exits.
    void stop() {
        m_process.terminate();
        m_process.waitForFinished(10000);
    }
    std::string log() const { return readFile(m_scratch.path("net.log")); }

  private:
    const Scratch& m_scratch;
    QProcess m_process;
    std::string m_url;
};

TEST(DevsimListen, ServesOneClientAtATimeAndAWholeDownload) {
    Scratch s;
    const std::string binary = firmware(s, 2 * 1024 + 5);
    // A Tracker is told to switch from even to mark parity, and is back in
    // its normal mode for the next client.
    for (const std::string kind : {"manual", "tracker"}) {
        Served device(s, "--device " + kind);
        ASSERT_EQ(device.url().rfind("rfc2217://127.0.0.1:", 0), 0u) << device.url();
        const QUrl url(QString::fromStdString(device.url()));
        const std::string download = "-p " + device.url() +
                                     (kind == "manual" ? " -b 38400 -y " : " -b 9600 -d tracker ") +
                                     s.path("app.hex");

        QTcpSocket first;
        first.connectToHost(url.host(), static_cast<quint16>(url.port()));
        ASSERT_TRUE(first.waitForConnected(10000));
        const Result busy = runCli(s, download);
        EXPECT_EQ(busy.code, toInt(ExitCode::PortError)) << busy.err;
        std::string said = devsim::busyText;
        said = said.substr(0, said.find('\r'));
        EXPECT_TRUE(contains(busy.err, said)) << busy.err;
        first.disconnectFromHost();

        // Twice: the device starts afresh for each client.
        for (int round = 1; round <= 2; ++round) {
            const Result r = runCli(s, download);
            EXPECT_EQ(r.code, 0) << kind << round << r.err;
            EXPECT_TRUE(contains(r.err, text::DownloadComplete)) << r.err;
        }
        device.stop();
        EXPECT_TRUE(readFile(s.path("net.bin")) == binary) << kind;
        EXPECT_EQ(count(device.log(), "-- disconnected: the device starts afresh"), 3)
            << device.log();
    }
}

// The device at 9600, the client at 38400: its bytes are garbage to the
// device, over the network as on a terminal, and the download fails alike.
TEST(DevsimListen, AWrongBaudRateFailsAsOnATerminal) {
    Scratch s;
    firmware(s, 100);
    Served served(s, "--baud 9600");
    Devices local(s, 1, "--baud 9600");
    const std::string cli = " -b 38400 -y " + s.path("app.hex");
    const Result net = runCli(s, "-p " + served.url() + cli);
    const Result pty = runCli(s, "-p " + local.port() + cli);
    const std::string noAnswer = text::NoEraseResponse;
    for (const Result& r : {net, pty}) {
        EXPECT_EQ(r.code, toInt(ExitCode::NoEraseAnswer)) << r.err;
        EXPECT_TRUE(contains(r.err, noAnswer.substr(0, noAnswer.find('\r')))) << r.err;
    }
    for (const std::string& log : {served.log(), local.log()}) {
        EXPECT_TRUE(contains(log, "-- 15 bytes at 38400 baud ignored")) << log;
    }
}

} // namespace
} // namespace quill::e2e
