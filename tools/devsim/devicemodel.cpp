// SPDX-License-Identifier: MIT
#include "devsim/devicemodel.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quill::devsim {

namespace {

// Longest record line (255 data bytes) is 521 characters; anything much
// longer is noise, and is dropped rather than buffered without end.
constexpr size_t kMaxLine = 600;

constexpr uint8_t kAddressA = 0x0F;
constexpr uint8_t kAddressB = 0x00;

constexpr std::array<std::pair<Fault, std::string_view>, 15> kFaultNames{{
    {Fault::None, "none"},
    {Fault::Silent, "silent"},
    {Fault::NoEraseXoff, "no-erase-xoff"},
    {Fault::SlowErase, "slow-erase"},
    {Fault::XonOnlyAfterRecord, "xon-only-after-record"},
    {Fault::JunkAfterXoff, "junk-after-xoff"},
    {Fault::SilentAfterRecords, "silent-after-records"},
    {Fault::SelectNak, "select-nak"},
    {Fault::SelectUnknown, "select-unknown"},
    {Fault::ProgNak, "prog-nak"},
    {Fault::ProgUnknown, "prog-unknown"},
    {Fault::RebootNak, "reboot-nak"},
    {Fault::Reboot04, "reboot-04"},
    {Fault::RebootSilent, "reboot-silent"},
    {Fault::StaleXoffXon, "stale-xoff-xon"},
}};

std::string hex2(uint8_t b) {
    constexpr std::string_view digits = "0123456789ABCDEF";
    return {digits[b >> 4], digits[b & 0x0F]};
}

std::string hexBytes(std::span<const uint8_t> bytes) {
    std::string text;
    for (const uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += hex2(b);
    }
    return text;
}

// A record line as text, control characters and the like shown as \xNN.
std::string printable(std::string_view line) {
    std::string text;
    for (const char c : line) {
        const auto b = static_cast<uint8_t>(c);
        text += b >= 0x20 && b < 0x7F ? std::string(1, c) : "\\x" + hex2(b);
    }
    return text;
}

std::string_view parityName(Parity parity) {
    constexpr std::array<std::string_view, 5> names{"no", "even", "odd", "mark", "space"};
    return names.at(static_cast<size_t>(parity));
}

} // namespace

std::string_view faultName(Fault fault) {
    for (const auto& [f, name] : kFaultNames) {
        if (f == fault) {
            return name;
        }
    }
    return "?";
}

std::optional<Fault> faultFromName(std::string_view name) {
    for (const auto& [f, n] : kFaultNames) {
        if (n == name) {
            return f;
        }
    }
    return std::nullopt;
}

const std::vector<Fault>& allFaults() {
    static const std::vector<Fault> faults = [] {
        std::vector<Fault> all;
        for (const auto& entry : kFaultNames) {
            all.push_back(entry.first);
        }
        return all;
    }();
    return faults;
}

DeviceModel::DeviceModel(Config config)
    : m_config(config), m_downloadMode(config.kind == Kind::Manual) {}

std::vector<uint8_t> DeviceModel::greeting() const {
    if (m_config.fault == Fault::StaleXoffXon) {
        return {kXoff, kXon};
    }
    return {};
}

std::string DeviceModel::describe(std::span<const uint8_t> bytes) {
    std::string text;
    for (const uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += hex2(b);
        const std::string_view name = b == kXoff  ? " (XOFF)"
                                      : b == kXon ? " (XON)"
                                      : b == kAck ? " (ACK)"
                                      : b == kNak ? " (NAK)"
                                                  : "";
        text += name;
    }
    return text;
}

std::vector<Reply> DeviceModel::receive(std::span<const uint8_t> bytes, Parity parity) {
    return receive(bytes, Line{.parity = parity});
}

// What makes the device's UART take the host's bytes for garbage: the
// wrong parity bit, a wrong rate or a wrong number of data bits.
std::string DeviceModel::mismatch(const Line& line) const {
    if (line.baud != 0 && m_config.baud != 0 && line.baud != m_config.baud) {
        return std::to_string(line.baud) + " baud";
    }
    if (line.dataBits != 8) {
        return std::to_string(line.dataBits) + " data bits";
    }
    if (!hears(line.parity)) {
        return std::string(parityName(line.parity)) + " parity";
    }
    return {};
}

std::vector<Reply> DeviceModel::receive(std::span<const uint8_t> bytes, const Line& line) {
    std::vector<Reply> out;
    if (bytes.empty()) {
        return out;
    }
    if (const std::string wrong = mismatch(line); !wrong.empty()) {
        // To the device's UART these are garbage: it does not act on them.
        add(LogKind::Note, "-- " + std::to_string(bytes.size()) + " bytes at " + wrong +
                               " ignored: " + hexBytes(bytes));
        return out;
    }
    m_busyUntil = 0;
    for (const uint8_t b : bytes) {
        // A frame ends with a pad byte 00 after its checksum: part of the
        // frame, whatever mode the frame has put the device in.
        if (std::exchange(m_padDue, false) && b == 0x00) {
            continue;
        }
        if (m_downloadMode) {
            lineByte(b, out);
        } else {
            frameByte(b, out);
        }
    }
    flushStray();
    return out;
}

void DeviceModel::flushStray() {
    if (!m_stray.empty()) {
        add(LogKind::Host, "host> " + hexBytes(std::exchange(m_stray, {})) + " (not understood)");
    }
}

bool DeviceModel::hears(Parity parity) const {
    if (!m_config.strictParity) {
        return true;
    }
    if (m_downloadMode) {
        return parity == Parity::Mark;
    }
    return parity == Parity::Even || parity == Parity::None;
}

void DeviceModel::frameByte(uint8_t byte, std::vector<Reply>& out) {
    if (m_frame.empty()) {
        if (byte != kFrameStart) {
            m_stray.push_back(byte);
            return;
        }
        flushStray();
    }
    m_frame.push_back(byte);
    // 02, length, `length` bytes, checksum.
    if (m_frame.size() >= 2 && m_frame.size() == size_t{m_frame[1]} + 3) {
        onFrame(out);
    }
}

void DeviceModel::onFrame(std::vector<Reply>& out) {
    const std::vector<uint8_t> frame = std::exchange(m_frame, {});
    m_padDue = true;
    m_answersFrom = m_busyUntil;
    add(LogKind::Host, "host> " + hexBytes(frame));
    unsigned sum = 0;
    for (size_t i = 1; i < frame.size(); ++i) {
        sum += frame[i];
    }
    if (sum % 256 != 0 || frame[1] < 3) {
        add(LogKind::Note, "-- frame malformed or checksum wrong: ignored");
        return;
    }
    if (frame[2] != kAddressA || frame[3] != kAddressB) {
        add(LogKind::Note, "-- frame for another address: ignored");
        return;
    }
    const uint8_t command = frame[4];
    const std::vector<uint8_t> data(frame.begin() + 5, frame.end() - 1);
    const Fault fault = m_config.fault;
    if (command == kCmdSelect && data.empty()) {
        ++m_selectFrames;
        add(LogKind::Note, "-- select");
        const uint8_t answer = fault == Fault::SelectNak       ? kNak
                               : fault == Fault::SelectUnknown ? kUnknownAnswer
                                                               : kAck;
        this->answer(out, m_config.frameAckMs, {answer});
    } else if (command == kCmdProgram && data == std::vector<uint8_t>{kProgramData}) {
        ++m_programFrames;
        if (fault == Fault::ProgNak || fault == Fault::ProgUnknown) {
            add(LogKind::Note, "-- program: refused, staying in normal mode");
            answer(out, m_config.frameAckMs, {fault == Fault::ProgNak ? kNak : kUnknownAnswer});
            return;
        }
        add(LogKind::Note, "-- program: rebooting into download mode (mark parity)");
        answer(out, m_config.frameAckMs, {kAck});
        m_downloadMode = true;
        const int rebootAt = m_config.frameAckMs + m_config.rebootMs;
        if (fault == Fault::RebootSilent) {
            add(LogKind::Note, "-- rebooted without a word");
        } else {
            answer(out, rebootAt,
                   {fault == Fault::RebootNak  ? kNak
                    : fault == Fault::Reboot04 ? kAck
                                               : kXon});
        }
    } else {
        add(LogKind::Note, "-- unknown command");
        answer(out, m_config.frameAckMs, {kNak});
    }
}

void DeviceModel::lineByte(uint8_t byte, std::vector<Reply>& out) {
    if (byte == ':') {
        flushStray();
        if (m_inLine) {
            std::string note = "-- line without end dropped: ";
            note += printable(m_line);
            add(LogKind::Note, note);
        }
        m_inLine = true;
        m_line.assign(1, ':');
        return;
    }
    if (!m_inLine) {
        m_stray.push_back(byte);
        return;
    }
    if (byte == '\n') {
        m_inLine = false;
        const bool crLf = m_line.back() == '\r';
        if (crLf) {
            m_line.pop_back();
        }
        onLine(crLf, out);
        return;
    }
    m_line.push_back(static_cast<char>(byte));
    if (m_line.size() > kMaxLine) {
        add(LogKind::Note, "-- line longer than " + std::to_string(kMaxLine) + " bytes dropped");
        m_inLine = false;
        m_line.clear();
    }
}

void DeviceModel::onLine(bool crLf, std::vector<Reply>& out) {
    m_answersFrom = m_busyUntil;
    add(LogKind::Host, "host> " + printable(m_line) + (crLf ? "" : " (no CR before LF)"));
    const ParsedRecord parsed = parseRecord(m_line);
    const bool erase = parsed.record && parsed.record->type == kTypeData &&
                       parsed.record->offset == 0 &&
                       parsed.record->data == std::vector<uint8_t>{0xFF};
    if (erase && crLf) {
        onErase(out);
    } else if (!m_erased) {
        add(LogKind::Note, "-- no erase request yet: line ignored");
    } else {
        onRecord(parsed, crLf, out);
    }
    m_line.clear();
}

void DeviceModel::onErase(std::vector<Reply>& out) {
    ++m_eraseRequests;
    m_records.clear();
    m_badRecords = 0;
    m_sawEndOfFile = false;
    m_image.clear();
    if (m_config.fault == Fault::NoEraseXoff || m_config.fault == Fault::StaleXoffXon) {
        add(LogKind::Note, "-- erase request ignored");
        m_erased = false;
        return;
    }
    add(LogKind::Note, "-- erase request: erasing");
    m_erased = true;
    const bool slow = m_config.fault == Fault::SlowErase;
    answerPair(out, m_config.eraseAckMs, slow ? m_config.slowEraseMs : m_config.eraseMs, kXon);
}

void DeviceModel::onRecord(const ParsedRecord& parsed, bool crLf, std::vector<Reply>& out) {
    m_records.push_back(m_line);
    std::string problem = crLf ? parsed.error : "not ended by CR LF";
    if (problem.empty() && m_sawEndOfFile) {
        add(LogKind::Note, "-- record after the end-of-file record");
    }
    if (problem.empty()) {
        problem = m_image.add(*parsed.record);
    }
    if (!problem.empty()) {
        ++m_badRecords;
        add(LogKind::Note, "-- bad record (" + problem + "): answered all the same");
    } else if (parsed.record->type == kTypeEndOfFile) {
        m_sawEndOfFile = true;
        add(LogKind::Note, "-- end of file");
    }

    const Fault fault = m_config.fault;
    if (fault == Fault::SilentAfterRecords &&
        m_records.size() > static_cast<size_t>(m_config.silentAfter)) {
        m_fallenSilent = true; // for good, as a device that has hung
    }
    const int ack = m_config.recordAckMs;
    const int write = m_config.recordWriteMs;
    if (fault == Fault::XonOnlyAfterRecord) {
        answer(out, ack + write, {kXon});
    } else {
        answerPair(out, ack, write, fault == Fault::JunkAfterXoff ? kJunk : kXon);
    }
}

void DeviceModel::answerPair(std::vector<Reply>& out, int ackMs, int workMs, uint8_t second) {
    if (m_config.burst) {
        answer(out, ackMs + workMs, {kXoff, second});
    } else {
        answer(out, ackMs, {kXoff});
        answer(out, ackMs + workMs, {second});
    }
}

void DeviceModel::answer(std::vector<Reply>& out, int delayMs, std::vector<uint8_t> bytes) {
    if (m_config.fault == Fault::Silent || m_fallenSilent) {
        add(LogKind::Note, "-- silent: no answer");
        return;
    }
    delayMs += m_answersFrom;
    m_busyUntil = std::max(m_busyUntil, delayMs);
    add(LogKind::Device, "dev> " + describe(bytes) + " +" + std::to_string(delayMs) + " ms");
    out.push_back({delayMs, std::move(bytes)});
}

void DeviceModel::add(LogKind kind, std::string text) {
    if (m_sink) {
        m_sink(kind, text);
    }
    m_log.push_back(std::move(text));
}

} // namespace quill::devsim
