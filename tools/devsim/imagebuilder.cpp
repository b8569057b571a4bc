// SPDX-License-Identifier: MIT
#include "devsim/imagebuilder.h"

#include <fstream>

namespace quill::devsim {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// The byte written at `pos`, or -1 if the two characters are not hex digits
// or the line ends before them.
int byteAt(std::string_view line, size_t pos) {
    if (pos + 1 >= line.size()) {
        return -1;
    }
    const int hi = hexDigit(line[pos]);
    const int lo = hexDigit(line[pos + 1]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

ParsedRecord failure(std::string error) {
    return {std::nullopt, std::move(error)};
}

uint16_t word(const std::vector<uint8_t>& data) {
    return static_cast<uint16_t>(data[0] << 8 | data[1]);
}

} // namespace

ParsedRecord parseRecord(std::string_view line) {
    if (line.empty() || line[0] != ':') {
        return failure("no start code");
    }
    const int count = byteAt(line, 1);
    if (count < 0) {
        return failure("bad byte count");
    }
    if (line.size() < 11 + 2 * static_cast<size_t>(count)) {
        return failure("line shorter than its byte count");
    }
    // Every byte from the count through the checksum adds up to 0 mod 256.
    unsigned sum = 0;
    std::vector<uint8_t> fields;
    for (size_t pos = 1; pos < 11 + 2 * static_cast<size_t>(count); pos += 2) {
        const int b = byteAt(line, pos);
        if (b < 0) {
            return failure("not a hex digit at column " + std::to_string(pos + 1));
        }
        fields.push_back(static_cast<uint8_t>(b));
        sum += static_cast<unsigned>(b);
    }
    if (sum % 256 != 0) {
        return failure("checksum wrong");
    }
    Record record;
    record.offset = static_cast<uint16_t>(fields[1] << 8 | fields[2]);
    record.type = fields[3];
    record.data.assign(fields.begin() + 4, fields.end() - 1);
    return {std::move(record), {}};
}

std::string ImageBuilder::add(const Record& record) {
    const size_t n = record.data.size();
    switch (record.type) {
    case kTypeData:
        // A record that runs past the end of its 64 KiB segment counts on
        // into the next one rather than wrapping, as objcopy reads it.
        for (size_t i = 0; i < n; ++i) {
            const uint32_t address = m_base + record.offset + static_cast<uint32_t>(i);
            m_memory.insert_or_assign(address, record.data[i]);
        }
        return {};
    case kTypeEndOfFile:
        if (n != 0) {
            return "end-of-file record with data";
        }
        m_ended = true;
        return {};
    case kTypeSegmentAddress:
    case kTypeLinearAddress:
        if (n != 2) {
            return "address record without exactly 2 data bytes";
        }
        m_base = static_cast<uint32_t>(word(record.data))
                 << (record.type == kTypeSegmentAddress ? 4 : 16);
        return {};
    case kTypeStartSegment:
    case kTypeStartLinear:
        if (n != 4) {
            return "start address record without exactly 4 data bytes";
        }
        return {};
    default:
        return "unknown record type " + std::to_string(record.type);
    }
}

void ImageBuilder::clear() {
    *this = ImageBuilder{};
}

uint32_t ImageBuilder::lowest() const {
    return m_memory.empty() ? 0 : m_memory.begin()->first;
}

uint32_t ImageBuilder::highest() const {
    return m_memory.empty() ? 0 : m_memory.rbegin()->first;
}

std::optional<std::vector<uint8_t>> ImageBuilder::bytes() const {
    if (m_memory.empty()) {
        return std::vector<uint8_t>{};
    }
    const uint32_t span = highest() - lowest();
    if (span >= kMaxSpan) {
        return std::nullopt;
    }
    std::vector<uint8_t> image(size_t{span} + 1, 0xFF);
    for (const auto& [address, value] : m_memory) {
        image[address - lowest()] = value;
    }
    return image;
}

WriteResult ImageBuilder::write(const std::string& path) const {
    const auto image = bytes();
    if (!image) {
        return {false, lowest(), 0, "image spans more than " + std::to_string(kMaxSpan) + " bytes"};
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image->data()),
              static_cast<std::streamsize>(image->size()));
    out.close();
    if (!out) {
        return {false, lowest(), 0, "cannot write " + path};
    }
    return {true, lowest(), image->size(), {}};
}

} // namespace quill::devsim
