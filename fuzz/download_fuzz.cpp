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
#include <vector>

namespace quill::fuzz {
namespace {

constexpr const char* eraseRequest = ":01000000FF00\r\n";

struct Expected {
    std::vector<std::string> records; // sent, in order
    bool refused = false;             // the file must be refused before anything is written
};

// What the check lets through: lines that start with ":" are records; all-FF
// data records are left out; a bad checksum, a stray character or a line
// longer than the reader's bound in any record up to the first end record,
// or a file without a single record line, refuses the file; the end record
// is the last one sent. A file without an end record is asked about, and the
// simulated user answers OK.
Expected expectedRecords(const std::string& bytes, const HexTable& table) {
    Expected e;
    bool anyRecord = false;
    for (const std::string& line : splitLines(bytes)) {
        if (line.empty() || line[0] != ':') {
            continue;
        }
        anyRecord = true;
        const int16_t rc =
            line.size() > HexFileSource::maxLineBytes ? REC_BAD_SUM : check_record(table, line);
        if (rc == REC_BAD_SUM || rc == REC_BAD_HEX) {
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
    world.startAndRun();

    const fuzz::Expected expected = fuzz::expectedRecords(bytes, world.m.hex_table);
    const std::string wire = world.port.wire();
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
