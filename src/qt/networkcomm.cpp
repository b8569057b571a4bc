// SPDX-License-Identifier: MIT
#include "qt/networkcomm.h"

#include "qt/netporttexts.h"
#include "qt/serialline.h"

#include <QDeadlineTimer>

#include <array>
#include <string_view>
#include <utility>

namespace quill {
namespace {

using rfc2217::Command;
using rfc2217::EventKind;
using rfc2217::Negotiation;

std::span<const uint8_t> bytesOf(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())};
}

PortError cannotOpen(PortErrorKind kind, const std::string& port, const std::string& cause) {
    return {kind, text::NetCannotOpen + port + cause};
}

uint8_t parityCode(Parity parity) {
    static constexpr std::array<uint8_t, 5> codes{rfc2217::parityNone, rfc2217::parityEven,
                                                  rfc2217::parityOdd, rfc2217::parityMark,
                                                  rfc2217::paritySpace};
    return codes.at(static_cast<std::size_t>(parity));
}

uint8_t stopCode(StopBits stopBits) {
    static constexpr std::array<uint8_t, 3> codes{rfc2217::stopOne, rfc2217::stopOneAndHalf,
                                                  rfc2217::stopTwo};
    return codes.at(static_cast<std::size_t>(stopBits));
}

const char* settingName(Command command, const std::vector<uint8_t>& asked) {
    switch (command) {
    case Command::SetBaudRate:
        return text::NetBaud;
    case Command::SetDataSize:
        return text::NetDataBits;
    case Command::SetParity:
        return text::NetParity;
    case Command::SetStopSize:
        return text::NetStopBits;
    case Command::SetControl:
        return asked == std::vector<uint8_t>{rfc2217::controlNoFlowIn} ? text::NetFlowIn
                                                                       : text::NetFlowOut;
    default:
        return text::NetPurge;
    }
}

// A setting's value as the messages name it: "38400", "EVEN", "1.5", "NONE".
std::string valueName(Command command, const std::vector<uint8_t>& value) {
    const auto named = [&value](std::span<const char* const> names, uint8_t first) {
        const bool known =
            value.size() == 1 && value[0] >= first && value[0] - first < std::ssize(names);
        return known ? std::string(names[value[0] - first]) : std::string{};
    };
    std::string name;
    if (command == Command::SetBaudRate && value.size() == 4) {
        name = std::to_string(uint32_t{value[0]} << 24 | uint32_t{value[1]} << 16 |
                              uint32_t{value[2]} << 8 | value[3]);
    } else if (command == Command::SetDataSize && value.size() == 1) {
        name = std::to_string(value[0]);
    } else if (command == Command::SetParity) {
        name = named(text::NetParityNames, rfc2217::parityNone);
    } else if (command == Command::SetStopSize) {
        name = named(text::NetStopNames, rfc2217::stopOne);
    } else if (command == Command::SetControl) {
        name = named(text::NetFlowNames, !value.empty() && value[0] >= rfc2217::controlNoFlowIn
                                             ? rfc2217::controlNoFlowIn
                                             : rfc2217::controlNoFlowOut);
    }
    if (name.empty()) {
        name = text::NetCode;
        for (const uint8_t byte : value) {
            name += (name.back() == ' ' ? "" : ",") + std::to_string(byte);
        }
    }
    return name;
}

// The answers as a line configuration text: "9600,M,8,1".
std::string answeredLine(const std::vector<rfc2217::Event>& answers) {
    static constexpr std::string_view parityLetters = "NOEMS";
    std::array<std::string, 4> parts{"?", "?", "?", "?"}; // baud, parity, data bits, stop bits
    for (const rfc2217::Event& answer : answers) {
        const uint8_t first = answer.bytes.empty() ? 0 : answer.bytes[0];
        if (answer.command == Command::SetBaudRate || answer.command == Command::SetDataSize) {
            parts[answer.command == Command::SetBaudRate ? 0 : 2] =
                valueName(answer.command, answer.bytes);
        } else if (answer.command == Command::SetParity && first >= rfc2217::parityNone &&
                   first <= rfc2217::paritySpace) {
            parts[1] = parityLetters[first - rfc2217::parityNone];
        } else if (answer.command == Command::SetStopSize) {
            parts[3] = valueName(answer.command, answer.bytes);
        }
    }
    return parts[0] + "," + parts[1] + "," + parts[2] + "," + parts[3];
}

// What the server said before it closed, such as ser2net's "Device open
// failure: ...", fit for one line of a message.
std::string serverWords(const std::vector<uint8_t>& bytes) {
    constexpr std::size_t maxLength = 200;
    std::string words;
    for (const uint8_t byte : bytes) {
        if (byte >= 0x20 && byte < 0x7f) {
            words += static_cast<char>(byte);
        } else if (!words.empty() && words.back() != ' ') {
            words += ' ';
        }
    }
    while (!words.empty() && words.back() == ' ') {
        words.pop_back();
    }
    return words.substr(0, maxLength);
}

} // namespace

NetworkComm::NetworkComm(PortResolver resolver, NetworkDeadlines deadlines)
    : CommBase(std::move(resolver)), m_deadlines(deadlines) {
    // Qt's own buffer is bounded too: beyond it the kernel holds the server back.
    m_socket.setReadBufferSize(static_cast<qint64>(maxHeldBytes));
    QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_socket, [this] { onReadyRead(); });
    QObject::connect(&m_socket, &QTcpSocket::disconnected, &m_socket, [this] { onDisconnected(); });
}

NetworkComm::~NetworkComm() {
    QObject::disconnect(&m_socket, nullptr, nullptr, nullptr);
}

PortStatus NetworkComm::openPort() {
    const auto endpoint = rfc2217::parsePortUrl(deviceName());
    if (!endpoint) {
        return cannotOpen(PortErrorKind::NotFound, portDisplayName(), text::NetBadUrl);
    }
    m_endpoint = *endpoint;
    PortStatus status = connectSession();
    if (!status) {
        status = applyLine();
    }
    if (status) {
        closePort();
        return status;
    }
    m_open = true;
    watchLoop(m_socket);
    if (!m_received.empty()) {
        scheduleReceive();
    }
    return std::nullopt;
}

void NetworkComm::closePort() {
    m_closing = true;
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        // Bytes still in Qt's buffer would be dropped by the close.
        m_socket.flush();
        m_socket.disconnectFromHost();
        if (m_socket.state() != QAbstractSocket::UnconnectedState) {
            m_socket.waitForDisconnected(static_cast<int>(m_deadlines.answer.count()));
        }
    }
    m_socket.abort();
    m_closing = false;
    m_open = false;
    clearPending();
    m_purging = false;
    m_received.clear();
}

// A connection, and binary mode and serial port control agreed on it.
PortStatus NetworkComm::connectSession() {
    m_client = rfc2217::Client{};
    m_received.clear();
    m_answers.clear();
    m_flooded = false;
    m_parityInForce = 0;
    m_lineAnswered.clear();
    m_socket.connectToHost(QString::fromStdString(m_endpoint.host), m_endpoint.port);
    if (!m_socket.waitForConnected(static_cast<int>(m_deadlines.connect.count()))) {
        return connectError();
    }
    // Each record is answered before the next goes out: no Nagle delay.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    note(text::NetNoteConnected + m_endpoint.authority);
    send(m_client.start());
    const Wait wait = waitUntil([this] { return m_client.negotiation() != Negotiation::Pending; });
    const std::string server = text::NetServerAt + m_endpoint.authority;
    if (wait == Wait::Closed) {
        return closedByServer();
    }
    if (m_client.negotiation() == Negotiation::NoBinary) {
        return PortError{PortErrorKind::Unsupported, server + text::NetNoBinary};
    }
    if (m_client.negotiation() != Negotiation::Agreed) { // refused, or no answer at all
        return PortError{PortErrorKind::Unsupported, server + text::NetNoComPort};
    }
    note(text::NetNoteNegotiated);
    return std::nullopt;
}

PortError NetworkComm::connectError() const {
    const std::string port = portDisplayName();
    switch (m_socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return cannotOpen(PortErrorKind::NotFound, port, text::NetRefused);
    case QAbstractSocket::HostNotFoundError:
        return cannotOpen(PortErrorKind::NotFound, port, text::NetHostNotFound);
    case QAbstractSocket::SocketTimeoutError:
        return cannotOpen(PortErrorKind::Other, port, text::NetConnectTimeout);
    default:
        return cannotOpen(PortErrorKind::Other, port,
                          text::NetConnectFailed + m_socket.errorString().toStdString() + ".");
    }
}

PortError NetworkComm::closedByServer() const {
    if (m_flooded) {
        return {PortErrorKind::Other, text::NetServerAt + m_endpoint.authority + text::NetFlooded};
    }
    const std::string words = serverWords(m_received);
    return {PortErrorKind::Other,
            text::NetServerAt + m_endpoint.authority +
                (words.empty() ? text::NetClosedOnOpen : text::NetClosedSaying + words)};
}

// The line once more, and a second connection for the one known fault of
// ser2net 4.3: on an open connection it cannot go from MARK to EVEN (it
// keeps the stick parity bit and sets SPACE, and says so), while a new
// connection starts clean.
PortStatus NetworkComm::applyLine() {
    LineOutcome outcome = requestLine();
    if (!outcome.serverFault) {
        return outcome.status;
    }
    m_closing = true;
    m_socket.abort();
    m_closing = false;
    if (PortStatus status = connectSession()) {
        closePort();
        return status;
    }
    return requestLine().status;
}

NetworkComm::LineOutcome NetworkComm::requestLine() {
    const std::array<std::pair<Command, std::vector<uint8_t>>, 6> requests{{
        {Command::SetBaudRate, rfc2217::baudValue(static_cast<uint32_t>(m_line.baud))},
        {Command::SetDataSize, {static_cast<uint8_t>(m_line.dataBits)}},
        {Command::SetParity, {parityCode(m_line.parity)}},
        {Command::SetStopSize, {stopCode(m_line.stopBits)}},
        {Command::SetControl, {rfc2217::controlNoFlowOut}},
        {Command::SetControl, {rfc2217::controlNoFlowIn}},
    }};
    std::vector<uint8_t> bytes;
    for (const auto& [command, value] : requests) {
        const std::vector<uint8_t> request = m_client.request(command, value);
        bytes.insert(bytes.end(), request.begin(), request.end());
    }
    m_answers.clear();
    m_lineAnswered.clear();
    send(bytes);
    const std::string server = text::NetServerAt + m_endpoint.authority;
    switch (waitUntil([this] { return m_client.answered(); })) {
    case Wait::Closed:
        return {m_open ? tellLoss() : closedByServer()};
    case Wait::TimedOut: {
        const auto [command, value] = *m_client.firstUnanswered();
        m_client.abandonRequests();
        return {PortError{PortErrorKind::Other, server + text::NetNoAnswer +
                                                    settingName(command, value) + text::NetInTime}};
    }
    case Wait::Done:
        break;
    }
    const uint8_t parityBefore = m_parityInForce;
    m_lineAnswered = answeredLine(m_answers);
    std::string summary;
    for (const rfc2217::Event& answer : m_answers) {
        if (answer.command == Command::SetParity && answer.bytes.size() == 1) {
            m_parityInForce = answer.bytes[0];
        }
        const std::string setting = settingName(answer.command, answer.asked);
        const std::string answered = valueName(answer.command, answer.bytes) + " " + setting;
        if (answer.bytes != answer.asked) {
            const std::string mismatch = text::NetSet + answered + text::NetWhen +
                                         valueName(answer.command, answer.asked) +
                                         text::NetWasAsked;
            const bool fault = parityBefore == rfc2217::parityMark &&
                               m_parityInForce == rfc2217::paritySpace &&
                               answer.asked == std::vector<uint8_t>{rfc2217::parityEven};
            if (fault) {
                note(std::string("The server") + mismatch + text::NetNoteReconnect);
            }
            return {PortError{PortErrorKind::Unsupported, server + mismatch + "."}, fault};
        }
        summary += (summary.empty() ? "" : ", ") + answered;
    }
    note(text::NetNoteSettings + summary);
    return {};
}

PortStatus NetworkComm::setSettings(const std::string& text) {
    PortStatus error;
    if (!takeSettings(text, error) || !m_open) {
        return error;
    }
    if (lossPending()) {
        return tellLoss();
    }
    return applyLine();
}

PortStatus NetworkComm::output(std::span<const uint8_t> data) {
    if (!m_open) {
        return PortError{PortErrorKind::NotOpen, portDisplayName() + text::NetNotOpen};
    }
    if (lossPending()) {
        return tellLoss();
    }
    if (data.empty()) {
        return std::nullopt;
    }
    const std::vector<uint8_t> escaped = rfc2217::Client::escape(data);
    std::span<const uint8_t> bytes = escaped;
    // Nothing queued before it: straight to the socket, which takes a
    // record whole, and no write notification switched on and off around
    // it (each switch wakes the event loop). What it does not take, and a
    // send that fails, go through QTcpSocket's buffer, which retries and
    // reports the failure.
    if (m_socket.bytesToWrite() == 0) {
        bytes = bytes.subspan(serialline::sendNow(m_socket.socketDescriptor(), bytes));
        if (bytes.empty()) {
            return std::nullopt;
        }
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (m_socket.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        return PortError{PortErrorKind::Other, text::NetWriteFailed + portDisplayName() + ": " +
                                                   m_socket.errorString().toStdString() + "."};
    }
    // To the network now rather than on the next pass of the event loop:
    // the device is waiting for this record.
    m_socket.flush();
    return std::nullopt;
}

void NetworkComm::setInBufferCount(int16_t count) {
    if (count != 0 || !m_open || lossPending()) {
        return;
    }
    m_purging = true;
    send(m_client.request(Command::PurgeData, {rfc2217::purgeReceive}));
    const Wait wait = waitUntil([this] { return !m_purging; });
    if (wait == Wait::Done) {
        note(text::NetNotePurged);
        return;
    }
    // Unanswered, or the connection is gone and its loss on the way: what
    // came is thrown away all the same, and a late answer is ignored.
    m_purging = false;
    m_client.abandonRequests();
    m_received.clear();
    if (wait == Wait::TimedOut) {
        note(text::NetServerAt + m_endpoint.authority + text::NetNoAnswer + text::NetPurge +
             text::NetInTime);
    }
}

std::vector<uint8_t> NetworkComm::input() {
    return std::exchange(m_received, {});
}

// Told once, here rather than by the queued report, which then finds the
// port closed and stays silent.
PortError NetworkComm::tellLoss() {
    PortError error = lostError();
    closePort();
    return error;
}

PortError NetworkComm::lostError() const {
    return {PortErrorKind::Lost, text::NetLostPrefix + portDisplayName() +
                                     (m_flooded ? text::NetLostFlooded : text::NetLost)};
}

// Blocks on this socket alone: see the header.
NetworkComm::Wait NetworkComm::waitUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(m_deadlines.answer, Qt::PreciseTimer);
    while (!done()) {
        if (m_socket.state() != QAbstractSocket::ConnectedState) {
            return Wait::Closed;
        }
        if (deadline.hasExpired()) {
            return Wait::TimedOut;
        }
        m_socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    }
    return Wait::Done;
}

void NetworkComm::send(const std::vector<uint8_t>& bytes) {
    m_socket.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    m_socket.flush();
}

void NetworkComm::onReadyRead() {
    rfc2217::Client::Received received = m_client.feed(bytesOf(m_socket.readAll()));
    if (!received.reply.empty()) {
        send(received.reply);
    }
    for (rfc2217::Event& event : received.events) {
        if (event.kind == EventKind::Data) {
            m_received.insert(m_received.end(), event.bytes.begin(), event.bytes.end());
        } else if (event.kind == EventKind::Answer && event.command == Command::PurgeData) {
            // What came before the answer was in the server's buffer or on
            // the way: all of it goes.
            m_received.clear();
            m_purging = false;
        } else if (event.kind == EventKind::Answer) {
            m_answers.push_back(std::move(event));
        }
    }
    // Answers nobody asked for, or data nobody reads, beyond what is held:
    // the connection ends here, and with it the port.
    if (m_received.size() + 8 * m_answers.size() > maxHeldBytes) {
        m_flooded = true;
        m_received.clear();
        m_answers.clear();
        m_socket.abort();
        if (m_open && !lossPending()) {
            scheduleLoss(m_socket);
        }
        return;
    }
    if (m_open && !m_received.empty()) {
        scheduleReceive();
    }
}

void NetworkComm::onDisconnected() {
    if (!m_closing && m_open && !lossPending()) {
        scheduleLoss(m_socket);
    }
}

void NetworkComm::note(const std::string& text) const {
    if (m_notes) {
        m_notes(text);
    }
}

} // namespace quill
