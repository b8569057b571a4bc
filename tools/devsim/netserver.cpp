// SPDX-License-Identifier: MIT
#include "devsim/netserver.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>
#include <utility>

namespace quill::devsim {

namespace {

Parity parityOf(uint8_t value) {
    switch (value) {
    case telnet::parityOdd:
        return Parity::Odd;
    case telnet::parityEven:
        return Parity::Even;
    case telnet::parityMark:
        return Parity::Mark;
    case telnet::paritySpace:
        return Parity::Space;
    default:
        return Parity::None;
    }
}

Line lineOf(const PortLine& line) {
    return {.parity = parityOf(line.parity),
            .baud = static_cast<int>(line.baud),
            .dataBits = line.dataSize};
}

std::string describeLine(const PortLine& line) {
    constexpr const char* parities[] = {"?", "no", "odd", "even", "mark", "space"};
    return std::to_string(line.baud) + " baud, " + std::to_string(line.dataSize) + " data bits, " +
           parities[line.parity <= 5 ? line.parity : 0] + " parity";
}

std::string peerOf(const QTcpSocket& socket) {
    return socket.peerAddress().toString().toStdString() + " port " +
           std::to_string(socket.peerPort());
}

} // namespace

NetServer::NetServer(const DeviceOptions& options, bool exitAfterDownload)
    : m_options(options), m_exitAfterDownload(exitAfterDownload),
      m_files(options.logPath, options.imagePath) {
    m_due.setSingleShot(true);
    m_due.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_due, &QTimer::timeout, &m_server, [this] { sendDue(); });
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { onConnection(); });
    startDevice();
}

std::string NetServer::listen(const std::string& host, int port) {
    QHostAddress address;
    if (host == "localhost") {
        address = QHostAddress::LocalHost;
    } else if (!address.setAddress(QString::fromStdString(host))) {
        return "cannot listen on " + host +
               ": not an IP address; give one such as 127.0.0.1 or 0.0.0.0, or localhost.";
    }
    if (!m_server.listen(address, static_cast<quint16>(port))) {
        return "cannot listen on " + host + " port " + std::to_string(port) + ": " +
               m_server.errorString().toStdString() + ". Choose another port, or 0 for a free one.";
    }
    return {};
}

std::string NetServer::url() const {
    QHostAddress address = m_server.serverAddress();
    if (address == QHostAddress::AnyIPv4) {
        address = QHostAddress::LocalHost;
    } else if (address == QHostAddress::AnyIPv6 || address == QHostAddress::Any) {
        address = QHostAddress::LocalHostIPv6;
    }
    const std::string host = address.toString().toStdString();
    const bool v6 = address.protocol() == QAbstractSocket::IPv6Protocol;
    return "rfc2217://" + (v6 ? "[" + host + "]" : host) + ":" +
           std::to_string(m_server.serverPort());
}

void NetServer::finish() {
    if (!m_imageWritten) {
        writeImage();
    }
    m_imageWritten = true;
}

// The device as it is powered up: a Tracker in its normal mode, nothing
// received; the flash keeps the image it had.
void NetServer::startDevice() {
    m_telnet = TelnetServer{};
    m_pending.clear();
    m_due.stop();
    m_model.emplace(m_options.config);
    m_model->setLogSink([this](DeviceModel::LogKind kind, const std::string& line) {
        if (kind != DeviceModel::LogKind::Device) {
            log(line);
        }
    });
}

void NetServer::onConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_client != nullptr) {
            log("-- refused " + peerOf(*socket) + ": busy");
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(busyText);
            socket->disconnectFromHost();
            continue;
        }
        m_client = socket;
        // Each answer goes out alone and at once, as on a serial line.
        m_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QObject::connect(socket, &QTcpSocket::readyRead, &m_server, [this] { onReadyRead(); });
        QObject::connect(socket, &QTcpSocket::disconnected, &m_server,
                         [this] { onDisconnected(); });
        log("-- connected: " + peerOf(*socket));
        // What the device said at its start has waited in the server for
        // a client to read it.
        if (const std::vector<uint8_t> bytes = m_model->greeting(); !bytes.empty()) {
            log("dev> " + DeviceModel::describe(bytes) + " (at start)");
            const std::vector<uint8_t> escaped = TelnetServer::escape(bytes);
            m_client->write(reinterpret_cast<const char*>(escaped.data()),
                            static_cast<qint64>(escaped.size()));
        }
    }
}

void NetServer::onReadyRead() {
    if (m_client == nullptr) {
        return;
    }
    const QByteArray bytes = m_client->readAll();
    const PortLine before = m_telnet.line();
    const TelnetServer::Received received = m_telnet.feed(
        {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())});
    if (!received.reply.empty()) {
        m_client->write(reinterpret_cast<const char*>(received.reply.data()),
                        static_cast<qint64>(received.reply.size()));
    }
    // Each piece of data is heard at the line that stood when it was sent.
    const auto now = Clock::now();
    std::vector<Reply> replies;
    PortLine line = before;
    const auto lineNow = [&](const PortLine& next) {
        if (describeLine(next) != describeLine(std::exchange(line, next))) {
            log("-- line set: " + describeLine(next));
        }
    };
    for (const TelnetServer::Data& data : received.data) {
        lineNow(data.line);
        const std::vector<Reply> more = m_model->receive(data.bytes, lineOf(data.line));
        replies.insert(replies.end(), more.begin(), more.end());
    }
    lineNow(m_telnet.line());
    // The cable is pulled as the record after the last one answered comes in.
    const auto records = static_cast<int>(m_model->records().size());
    if (m_options.unplugAfter > 0 && records > m_options.unplugAfter) {
        log("-- unplugged");
        m_unplugged = true;
        m_client->abort();
        onDisconnected(); // in case the abort said nothing
        return;
    }
    for (const Reply& reply : replies) {
        m_pending.emplace(now + std::chrono::milliseconds(reply.delayMs), reply.bytes);
    }
    sendDue();
}

void NetServer::sendDue() {
    while (m_client != nullptr && !m_pending.empty() && m_pending.begin()->first <= Clock::now()) {
        const std::vector<uint8_t> bytes = std::move(m_pending.begin()->second);
        m_pending.erase(m_pending.begin());
        log("dev> " + DeviceModel::describe(bytes));
        const std::vector<uint8_t> escaped = TelnetServer::escape(bytes);
        m_client->write(reinterpret_cast<const char*>(escaped.data()),
                        static_cast<qint64>(escaped.size()));
    }
    if (!m_pending.empty()) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(m_pending.begin()->first - Clock::now());
        m_due.start(static_cast<int>(std::max<int64_t>(left.count(), 0)));
        return;
    }
    afterAnswers();
}

// Once every answer is out: the image written at the end of a download,
// and with --exit-after-download the connection closed after it.
void NetServer::afterAnswers() {
    if (m_client == nullptr) {
        return;
    }
    if (m_model->sawEndOfFile() && !m_imageWritten) {
        writeImage();
        m_imageWritten = true;
    } else if (!m_model->sawEndOfFile() && m_model->eraseRequests() > 0) {
        m_imageWritten = false; // a new download has begun
    }
    if (m_exitAfterDownload && m_model->sawEndOfFile()) {
        m_client->disconnectFromHost(); // once the last answers are written
    }
}

void NetServer::onDisconnected() {
    if (m_client == nullptr) {
        return;
    }
    const bool downloaded = m_model->sawEndOfFile();
    // A download cut short, even before its first answer was out, leaves
    // the flash as far as it got.
    if (m_model->eraseRequests() > 0 && !downloaded) {
        m_imageWritten = false;
    }
    log("-- disconnected: the device starts afresh");
    m_client->deleteLater();
    m_client = nullptr;
    finish();
    startDevice();
    if (m_unplugged || (m_exitAfterDownload && downloaded)) {
        QCoreApplication::quit();
    }
}

void NetServer::writeImage() {
    m_files.writeImage(*m_model);
}

void NetServer::log(const std::string& line) {
    m_files.log(line);
    m_files.flushLog(); // one device: its log may as well be read as it grows
}

} // namespace quill::devsim
