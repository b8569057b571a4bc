// SPDX-License-Identifier: MIT
#pragma once
// One download attempt on one device, as the history keeps it, and the
// filter that picks attempts out of it. Texts are bytes as the program had
// them; times are UTC milliseconds since the epoch.

#include <cstdint>
#include <optional>
#include <string>

namespace quill {

struct Attempt {
    int64_t id = 0;  // given by the store when the attempt begins
    std::string key; // the attempt's own, made where it began: unique, whoever writes it
    int64_t startedMs = 0;
    std::optional<int64_t> endedMs; // none while unfinished
    std::string station;            // the host name
    std::string operatorName;       // the login name, or the one given
    std::string program;            // "quill", "quill-cli"
    std::string programVersion;
    std::string port;       // as named: "COM1", "/dev/ttyUSB0", a by-id link
    std::string devicePath; // the device the port resolved to
    std::string byId;       // the adapter's /dev/serial/by-id name, where it has one
    std::string usbSerial;  // the adapter's USB serial number, where it has one
    std::optional<int32_t> baud;
    std::string device; // "manual", "tracker" or "other"
    std::string filePath;
    std::optional<int64_t> fileSize;
    std::string sha256; // the file's bytes, lower-case hex
    int64_t recordsSent = 0;
    int64_t recordsTotal = 0;
    int64_t dataBytesSent = 0;
    int64_t dataBytesTotal = 0;
    std::string outcome; // an outcome's name (shared/outcome.h); "unfinished" until ended
    std::optional<int> exitCode;
    std::string lastMessage;
    std::string traceFile; // the trace kept of this attempt, if one was
    std::string batch;
    std::optional<int64_t> unit; // the unit's number in its batch
    std::string serial;          // the serial number written into the unit's image, as written
    // The unit (one device in one place) this attempt is one of: attempts
    // of a unit share its key.
    std::string unitKey;
    // Its number among the unit's attempts that reached the device, 1 the
    // first pass; none: it never reached one (or has not yet).
    std::optional<int> attemptNo;
    std::string recipe;    // the recipe run, "NAME@VERSION"; empty: a file
    std::string workOrder; // the work order the unit is one of; empty: none

    bool operator==(const Attempt&) const = default;
};

// The order of a listing: by one of the fields a table shows, then by id,
// both the same way.
struct HistoryOrder {
    enum class Key : uint8_t {
        Started,
        Port,
        File,
        Sha256,
        Outcome,
        Records, // sent
        Seconds, // unfinished before any that ended
        Station,
        Operator,
        Serial,
        Batch,
        Unit,    // the number in its batch
        Attempt, // its number in its unit
    };
    Key key = Key::Started;
    bool descending = true;
    bool operator==(const HistoryOrder&) const = default;
};

// Whether `a` comes before `b` in `order`, as the database has them:
// texts byte by byte, as SQLite does (a PostgreSQL database with a
// collation of its own may order texts a little otherwise: only rows that
// come in while a listing is open are placed by this).
bool before(const HistoryOrder& order, const Attempt& a, const Attempt& b);

// Which attempts a listing shows; an empty field does not filter.
struct HistoryFilter {
    std::optional<int64_t> sinceMs; // started at or after
    std::string port;               // as named, or the device path
    std::string outcome;
    std::string sha256Prefix; // hexadecimal digits, either case
    std::string batch;
    std::string serial; // the number written into the unit, as written
    std::string recipe; // "NAME@VERSION", or NAME: each of its versions
    std::string workOrder;
    int limit = 0; // at most this many, newest first; 0: all
    // Only the fields the listing's table shows are read; the rest stay
    // empty. A long listing on a terminal then takes less time.
    bool tableOnly = false;
    HistoryOrder order; // newest first
};

// An attempt beginning now on this station, by `operatorName` (when empty,
// the login name), of `program` in this version.
Attempt newAttempt(std::string program, std::string operatorName);
// A new attempt's key: unique, whichever station makes it.
std::string newAttemptKey();

// The order of a listing, newest first: by start time, then by id.
inline bool newerFirst(const Attempt& a, const Attempt& b) {
    return a.startedMs != b.startedMs ? a.startedMs > b.startedMs : a.id > b.id;
}

// The name of this host, for Attempt::station.
std::string stationName();

// The name of the user this process runs as, for Attempt::operatorName.
std::string loginName();

// A date given by the user as the start of a listing: "2026-12-06" (local
// midnight), "2026-12-06T14:30[:00]" (local time), or either with a UTC
// offset or Z. None when it is not such a date.
std::optional<int64_t> parseSince(const std::string& text);

} // namespace quill
