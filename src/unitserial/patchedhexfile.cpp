// SPDX-License-Identifier: MIT
#include "unitserial/patchedhexfile.h"

#include "hexfile/hexcodec.h"

#include <cstdio>

namespace quill {

namespace {

constexpr int16_t typeData = 0;
constexpr int16_t typeSegment = 2; // extended segment address: base = value * 16
constexpr int16_t typeLinear = 4;  // extended linear address: base = value << 16
constexpr size_t dataAt = 9;

int byteAt(const HexTable& table, const std::string& line, size_t index) {
    return hex_byte(table, std::string_view(line).substr(1 + 2 * index));
}

} // namespace

PatchedHexFile::PatchedHexFile(HexFileSource& inner, uint32_t address, size_t size)
    : m_inner(inner), m_address(address), m_size(size), m_held(size, false), m_late(size, false) {}

bool PatchedHexFile::open(const std::string& path) {
    m_held.assign(m_size, false);
    m_late.assign(m_size, false);
    m_blankHeld = {};
    m_firstReading = true;
    m_base = 0;
    m_ended = false;
    return m_inner.open(path);
}

// What the file holds is known once read: a check rewinds it when it is done.
bool PatchedHexFile::rewind() {
    m_base = 0;
    m_ended = false;
    m_firstReading = false;
    return m_inner.rewind();
}

bool PatchedHexFile::heldAfterEnd(uint32_t address) const {
    return address >= m_address && address - m_address < m_size && m_late[address - m_address];
}

std::optional<uint32_t> PatchedHexFile::firstMissing() const {
    for (size_t i = 0; i < m_size; ++i) {
        if (!m_held[i]) {
            return m_address + static_cast<uint32_t>(i);
        }
    }
    return std::nullopt;
}

bool PatchedHexFile::readLine(std::string& line) {
    if (!m_inner.readLine(line)) {
        return false;
    }
    if (!line.empty() && line.front() == ':') {
        take(line);
    }
    return true;
}

// Follows the address records, marks what a data record holds, and puts
// the number into a data record that holds a part of it.
void PatchedHexFile::take(std::string& line) {
    const int16_t rc = check_record(m_table, line);
    m_ended = m_ended || rc == REC_LAST;
    if (rc != REC_SEND && rc != REC_ALL_FF) {
        return; // corrupt, or the end: as it stands
    }
    const int count = byteAt(m_table, line, 0);
    const int type = byteAt(m_table, line, 3);
    if (type == typeSegment || type == typeLinear) {
        if (count == 2) {
            const uint32_t value =
                uint32_t(byteAt(m_table, line, 4)) << 8 | byteAt(m_table, line, 5);
            m_base = type == typeSegment ? value << 4 : value << 16;
        }
        return;
    }
    if (type != typeData) {
        return;
    }
    const uint32_t offset = uint32_t(byteAt(m_table, line, 1)) << 8 | byteAt(m_table, line, 2);
    const uint64_t first = uint64_t(m_base) + offset;
    bool changed = false;
    bool holds = false;
    std::string patched = line;
    for (int i = 0; i < count; ++i) {
        const uint64_t at = first + uint64_t(i);
        if (at < m_address || at >= uint64_t(m_address) + m_size) {
            continue;
        }
        const size_t index = size_t(at - m_address);
        (m_ended ? m_late : m_held)[index] = true;
        holds = true;
        if (index < m_bytes.size()) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02X", m_bytes[index]);
            patched.replace(dataAt + 2 * size_t(i), 2, digits);
            changed = true;
        }
    }
    if (holds && rc == REC_ALL_FF && !m_ended && m_firstReading) {
        ++m_blankHeld.records;
        m_blankHeld.dataBytes += count;
    }
    if (!changed || patched == line) {
        return;
    }
    // The checksum anew: two's complement of the sum of every byte before it.
    unsigned sum = 0;
    for (int i = 0; i < count + 4; ++i) {
        sum += unsigned(byteAt(m_table, patched, size_t(i)));
    }
    char checksum[3];
    std::snprintf(checksum, sizeof checksum, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    patched.replace(dataAt + 2 * size_t(count), 2, checksum);
    if (m_patched) {
        m_patched(line);
    }
    line = std::move(patched);
}

} // namespace quill
