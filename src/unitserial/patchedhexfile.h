// SPDX-License-Identifier: MIT
#pragma once
// The hex file with a unit's number in it: the data bytes at the number's
// addresses are replaced in the record or records that hold them, and each
// changed record's checksum is computed afresh; every other record is read
// as it stands in the file. Addresses are absolute, as the file's extended
// segment and linear address records make them. A record that is corrupt in
// the file is left as it is, for the check to refuse.
//
// The file's identity and the digest of its lines stay those of the bytes
// in the file: the number changes what is sent, never what was checked.
// While it reads, it notes which bytes of the number's range the file holds
// data for, before its first end record (what comes after it is never
// sent), and the records there that are blank in the file but hold a part
// of the number: not sent as they stand (REC_ALL_FF), sent with it.

#include "platform/hexfilesource.h"
#include "shared/hextable.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quill {

class PatchedHexFile final : public HexFileSource {
  public:
    // The number goes at `address`, `size` bytes long; `inner` outlives this.
    PatchedHexFile(HexFileSource& inner, uint32_t address, size_t size);
    // No number: the records go as they stand until setRange.
    explicit PatchedHexFile(HexFileSource& inner) : PatchedHexFile(inner, 0, 0) {}
    // Where the number goes from the next opening on; size 0: none.
    void setRange(uint32_t address, size_t size) {
        m_address = address;
        m_size = size;
        m_bytes.clear();
    }

    // The unit's number, `size` bytes; empty: the records go as they stand.
    void setBytes(std::vector<uint8_t> bytes) { m_bytes = std::move(bytes); }
    // Told the record as it stands in the file each time one is changed.
    void onPatched(std::function<void(const std::string& original)> patched) {
        m_patched = std::move(patched);
    }
    // After a reading to the end: the first address of the range that no
    // data record before the end record held; none when every byte has its
    // place in what is sent.
    std::optional<uint32_t> firstMissing() const;
    // ... whether a data record after the end record held it.
    bool heldAfterEnd(uint32_t address) const;
    // The blank records of the first reading since opening that hold a part
    // of the number: what a download sends beyond the file's own totals.
    const DownloadTotals& blankHeld() const { return m_blankHeld; }

    bool open(const std::string& path) override;
    bool close() override { return m_inner.close(); }
    bool isOpen() const override { return m_inner.isOpen(); }
    bool eof() override { return m_inner.eof(); }
    bool readLine(std::string& line) override;
    bool lineTooLong() const override { return m_inner.lineTooLong(); }
    uint64_t linesDigest() const override { return m_inner.linesDigest(); }
    void markChecked() override { m_inner.markChecked(); }
    bool changedSinceChecked() const override { return m_inner.changedSinceChecked(); }
    bool failed() const override { return m_inner.failed(); }
    int64_t length() const override { return m_inner.length(); }
    bool rewind() override;
    FileIdentity identity() const override { return m_inner.identity(); }
    std::string heldTo() const override { return m_inner.heldTo(); }

  private:
    void take(std::string& line);

    HexFileSource& m_inner;
    uint32_t m_address;
    size_t m_size;
    std::vector<uint8_t> m_bytes;
    std::vector<bool> m_held; // a data record before the end held this byte of the range
    std::vector<bool> m_late; // ... or one after it
    uint32_t m_base = 0;      // from the last extended address record
    bool m_ended = false;     // past the first end record
    bool m_firstReading = false;
    DownloadTotals m_blankHeld;
    HexTable m_table = makeHexTable();
    std::function<void(const std::string&)> m_patched;
};

} // namespace quill
