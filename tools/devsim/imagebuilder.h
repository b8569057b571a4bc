// SPDX-License-Identifier: MIT
#pragma once
// The flash image as the simulated device would have written it, rebuilt from
// the record lines it received. Written on its own, without the program's
// hex file code, so that it checks that code rather than repeating it.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill::devsim {

// Intel HEX record types.
inline constexpr uint8_t kTypeData = 0x00;
inline constexpr uint8_t kTypeEndOfFile = 0x01;
inline constexpr uint8_t kTypeSegmentAddress = 0x02;
inline constexpr uint8_t kTypeStartSegment = 0x03;
inline constexpr uint8_t kTypeLinearAddress = 0x04;
inline constexpr uint8_t kTypeStartLinear = 0x05;

struct Record {
    uint8_t type = 0;
    uint16_t offset = 0;
    std::vector<uint8_t> data;
};

// A record line decoded, or what is wrong with it (then `record` is empty).
struct ParsedRecord {
    std::optional<Record> record;
    std::string error;
};

// Decodes one record line without its CR LF (first character ":"). Upper and
// lower case digits are accepted; characters after the checksum are ignored,
// as the download sends a file's line exactly as it stands.
ParsedRecord parseRecord(std::string_view line);

struct WriteResult {
    bool ok = false;
    uint32_t base = 0; // address of the first byte of the file
    size_t length = 0; // bytes written
    std::string error; // when !ok
};

class ImageBuilder {
  public:
    // Applies one record: data is stored, address records move the base,
    // start addresses are noted and ignored. Returns an empty string, or why
    // the record could not be applied (it then changes nothing).
    std::string add(const Record& record);
    void clear();

    bool empty() const { return m_memory.empty(); }
    bool ended() const { return m_ended; }
    uint32_t lowest() const;
    uint32_t highest() const;
    const std::map<uint32_t, uint8_t>& memory() const { return m_memory; }

    // The image from the lowest to the highest written address, gaps filled
    // with FF hex (as `objcopy -I ihex -O binary --gap-fill 0xff` gives).
    // Empty if the span is too large to be a flash image.
    std::optional<std::vector<uint8_t>> bytes() const;
    WriteResult write(const std::string& path) const;

    // Spans beyond this are refused rather than filled: two far-apart linear
    // addresses would otherwise produce a file of gigabytes.
    static constexpr uint32_t kMaxSpan = 64u * 1024u * 1024u;

  private:
    std::map<uint32_t, uint8_t> m_memory;
    uint32_t m_base = 0;
    bool m_ended = false;
};

} // namespace quill::devsim
