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
    bool refused = false;             // a record that must stop the download before it starts
};

// What the check lets through: lines that start with ":" are records; all-FF
// data records and records with a stray character are left out; a bad
// checksum refuses the file; the end record is the last one sent.
Expected expectedRecords(const std::string& bytes, const HexTable& table) {
    Expected e;
    for (const std::string& line : splitLines(bytes)) {
        if (line.empty() || line[0] != ':') {
            continue;
        }
        const int16_t rc = check_record(table, line);
        if (rc == REC_BAD_SUM) {
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
        require(!started, "a file with a bad checksum is refused before anything is written");
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
