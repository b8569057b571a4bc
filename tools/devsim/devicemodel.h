// SPDX-License-Identifier: MIT
#pragma once
// A simulated Ostrel device, Manual or Tracker, as seen from its end of the
// serial link. It has no clock: the host hands it the bytes it received with
// the line's parity, and gets back the device's answers, each with the delay
// after which it goes on the wire. quill-devsim plays it in real time on a
// pseudo-terminal; the tests play it on a simulated clock.

#include "devsim/imagebuilder.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quill::devsim {

inline constexpr uint8_t kXon = 0x11;
inline constexpr uint8_t kXoff = 0x13;
inline constexpr uint8_t kAck = 0x04;
inline constexpr uint8_t kNak = 0x05;
inline constexpr uint8_t kUnknownAnswer = 0x3F; // what a confused Tracker says
inline constexpr uint8_t kJunk = 0x00;
inline constexpr uint8_t kFrameStart = 0x02;
inline constexpr uint8_t kCmdSelect = 0x21;
inline constexpr uint8_t kCmdProgram = 0x23;
inline constexpr uint8_t kProgramData = 0x38;
inline constexpr std::string_view kEraseRequest = ":01000000FF00";

enum class Kind { Manual, Tracker };
enum class Parity { None, Even, Odd, Mark, Space };

// The line as the host set it on its side when it sent. Bytes sent at a
// baud rate or a size other than the device's are garbage to the device.
struct Line {
    Parity parity = Parity::None;
    int baud = 0; // 0: the device's own, whatever it is
    int dataBits = 8;
};

enum class Fault {
    None,
    Silent,             // never answers anything
    NoEraseXoff,        // ignores the erase request
    SlowErase,          // XOFF at once, XON only after slowEraseMs
    XonOnlyAfterRecord, // answers each record with XON only (no XOFF)
    JunkAfterXoff,      // after a record: XOFF, then a junk byte (00) instead of XON
    SilentAfterRecords, // answers `silentAfter` records, then nothing ever again
    SelectNak,          // Tracker: answers the select frame with NAK
    SelectUnknown,      // ... with 3F
    ProgNak,            // Tracker: answers the program frame with NAK and does not reboot
    ProgUnknown,        // ... with 3F, no reboot
    RebootNak,          // Tracker: the rebooted device sends NAK instead of XON
    Reboot04,           // ... 04 instead of XON
    RebootSilent,       // ... nothing
    StaleXoffXon,       // says XOFF XON as it starts, before any request (see greeting()),
                        // and is still too busy with its start to answer the erase request
};

// Kebab-case names ("no-erase-xoff"), used on the command line.
std::string_view faultName(Fault fault);
std::optional<Fault> faultFromName(std::string_view name);
const std::vector<Fault>& allFaults();

struct Config {
    Kind kind = Kind::Manual;
    Fault fault = Fault::None;
    int silentAfter = 0;
    int eraseAckMs = 5; // erase request -> XOFF
    int eraseMs = 50;   // XOFF -> XON (erase time)
    int slowEraseMs = 3000;
    int recordAckMs = 1;      // record -> XOFF
    int recordWriteMs = 1;    // XOFF -> XON
    int frameAckMs = 5;       // Tracker frame -> ACK
    int rebootMs = 200;       // program frame ACK -> XON of the rebooted device
    bool burst = false;       // XOFF and XON in one reply, at the time of the XON
    bool strictParity = true; // Tracker frames heard only at even (or no) parity, the
                              // rest only at mark; other bytes are ignored
    int baud = 0;             // the device's own rate; 0: it hears any
};

struct Reply {
    int delayMs; // from the moment the input was received
    std::vector<uint8_t> bytes;
    friend bool operator==(const Reply&, const Reply&) = default;
};

class DeviceModel {
  public:
    enum class LogKind { Host, Device, Note };
    using LogSink = std::function<void(LogKind, const std::string&)>;

    explicit DeviceModel(Config config);

    // Bytes written by the host, split anywhere, with the line's parity when
    // they were received. Returns the answers they cause, in order. The device
    // takes one line or frame at a time: answers to a second line in the same
    // batch are timed from the last answer to the first.
    std::vector<Reply> receive(std::span<const uint8_t> bytes, Parity parity);
    // The same with the whole line: bytes at a wrong rate or size go unheard.
    std::vector<Reply> receive(std::span<const uint8_t> bytes, const Line& line);

    // What the device says on its own as it starts, before the host has
    // sent anything: nothing, unless its fault says otherwise.
    std::vector<uint8_t> greeting() const;

    // Record lines of the current download (after the last erase request),
    // without CR LF, in order, bad ones included; the erase request is not one.
    const std::vector<std::string>& records() const { return m_records; }
    // Records of the current download with a bad checksum, bad digits, a
    // length that does not fit, or no CR before the LF. Answered all the same.
    int badRecords() const { return m_badRecords; }
    int eraseRequests() const { return m_eraseRequests; }
    int selectFrames() const { return m_selectFrames; }
    int programFrames() const { return m_programFrames; }
    bool sawEndOfFile() const { return m_sawEndOfFile; }
    // True once a Tracker has rebooted into download mode; always for Manual.
    bool inDownloadMode() const { return m_downloadMode; }
    const ImageBuilder& image() const { return m_image; }
    const Config& config() const { return m_config; }

    // Human-readable conversation: "host> :10000000...", "dev> 13 (XOFF) +1 ms",
    // "-- checksum wrong". The sink, if set, sees each line as it is added.
    const std::vector<std::string>& log() const { return m_log; }
    void setLogSink(LogSink sink) { m_sink = std::move(sink); }

    // "13 (XOFF) 11 (XON)".
    static std::string describe(std::span<const uint8_t> bytes);

  private:
    bool hears(Parity parity) const;
    std::string mismatch(const Line& line) const;
    void flushStray();
    void frameByte(uint8_t byte, std::vector<Reply>& out);
    void lineByte(uint8_t byte, std::vector<Reply>& out);
    void onFrame(std::vector<Reply>& out);
    void onLine(bool crLf, std::vector<Reply>& out);
    void onErase(std::vector<Reply>& out);
    void onRecord(const ParsedRecord& parsed, bool crLf, std::vector<Reply>& out);
    void answer(std::vector<Reply>& out, int delayMs, std::vector<uint8_t> bytes);
    void answerPair(std::vector<Reply>& out, int ackMs, int workMs, uint8_t second);
    void add(LogKind kind, std::string text);

    Config m_config;
    bool m_downloadMode;   // lines, at mark parity; else Tracker frames
    bool m_erased = false; // erase request answered: records are taken
    std::vector<uint8_t> m_frame;
    bool m_padDue = false; // the 00 that closes a command frame
    std::string m_line;
    bool m_inLine = false;
    std::vector<uint8_t> m_stray;

    std::vector<std::string> m_records;
    int m_badRecords = 0;
    int m_eraseRequests = 0;
    int m_selectFrames = 0;
    int m_programFrames = 0;
    bool m_sawEndOfFile = false;
    bool m_fallenSilent = false;
    int m_busyUntil = 0;   // within the current batch: last answer so far
    int m_answersFrom = 0; // ... when the line or frame now handled is taken up
    ImageBuilder m_image;
    std::vector<std::string> m_log;
    LogSink m_sink;
};

} // namespace quill::devsim
