// SPDX-License-Identifier: MIT
// The whole-file check and the download on the simulated world, with any
// bytes as the hex file and a Manual device that answers every record. A
// refused file leaves the wire untouched; a download that ends in "Download
// complete" has sent the erase request and then exactly the record lines
// the check accepts, in order, each followed by CR LF; any other end has
// sent a first part of them.

#include "fuzzcheck.h"
#include "hexfile/hexcodec.h"
#include "hexfile/hexfiletexts.h"
#include "platform/hexfilesource.h"
#include "reference.h"
#include "simworld.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill::fuzz {
namespace {

constexpr const char* eraseRequest = ":01000000FF00\r\n";

struct Expected {
    std::vector<std::string> records; // sent, in order
    bool refused = false;             // the file must be refused before anything is written
};

// A second record glued after the checksum of the first: from a ":" on,
// text that reads as a record (the shortest is 11 characters) and not as a
// note that merely holds a colon.
bool glued(const HexTable& table, const std::string& line) {
    const int count = hexValue(line[1]) * 16 + hexValue(line[2]);
    for (size_t at = 11 + 2 * static_cast<size_t>(count); at < line.size(); ++at) {
        if (line[at] == ':' && line.size() - at >= 11 &&
            check_record(table, std::string_view(line).substr(at)) != REC_BAD_HEX) {
            return true;
        }
    }
    return false;
}

// What the check lets through: a UTF-8 byte-order mark at the very start is
// no part of the first line; lines that start with ":" are records; all-FF
// data records are left out; up to the first end record, a bad digit, a bad
// checksum, a line longer than the reader's bound, a second record glued to
// a line or a record after blanks refuses the file, as does a file without a
// single record line; the end record is the last one sent. A file without an
// end record, or with records after it, is asked about, and the simulated
// user answers OK.
Expected expectedRecords(std::string_view bytes, const HexTable& table) {
    Expected e;
    bool anyRecord = false;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    for (const std::string& line : splitLines(bytes)) {
        const size_t first = line.find_first_not_of(" \t");
        if (first != 0 && first != std::string::npos && line[first] == ':') {
            e.refused = true;
            return e;
        }
        if (line.empty() || line[0] != ':') {
            continue;
        }
        anyRecord = true;
        const int16_t rc =
            line.size() > HexFileSource::maxLineBytes ? REC_BAD_SUM : check_record(table, line);
        if (rc == REC_BAD_SUM || rc == REC_BAD_HEX || glued(table, line)) {
            e.refused = true;
            return e;
        }
        if (rc == REC_SEND || rc == REC_LAST) {
            e.records.push_back(line);
        }
        if (rc == REC_LAST) {
            break;
        }
    }
    e.refused = !anyRecord;
    return e;
}

} // namespace
} // namespace quill::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quill;
    using fuzz::require;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    sim::SimWorld world;
    world.setUpPort(9600, device_manual);
    world.connect({});
    world.chooseFile(bytes);
    world.start();
    world.loop.runAll();

    const fuzz::Expected expected = fuzz::expectedRecords(bytes, world.m.hex_table);
    std::string wire; // every byte written to the port, in order
    for (const sim::WireWrite& write : world.port.writes()) {
        wire.append(write.bytes.begin(), write.bytes.end());
    }
    const std::vector<std::string> boxes = world.boxes.texts();
    const bool started = wire.starts_with(fuzz::eraseRequest);
    const bool complete = !boxes.empty() && boxes.back() == text::DownloadComplete;
    require(started || wire.empty(), "nothing at all is written unless the download starts");
    if (expected.refused) {
        require(wire.empty(), "a refused file is refused before anything is written");
        require(!complete, "a refused file never ends in Download complete");
    }
    std::string whole = fuzz::eraseRequest;
    for (const std::string& record : expected.records) {
        whole += record + "\r\n";
    }
    if (complete) {
        require(wire == whole, "a complete download sent exactly the accepted records");
    } else {
        require(whole.starts_with(wire) || wire.empty(), "a stopped download sent a first part");
    }
    return 0;
}
