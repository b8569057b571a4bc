// SPDX-License-Identifier: MIT
// The line reader over any bytes (CR, LF, NUL, lines longer than the read
// buffer, terminators on the buffer's edge): what StdHexFile reads from a
// file of those bytes must be what a plain splitter makes of them (after a
// byte-order mark at the start), and a rewind must start over. A line
// longer than the reader's bound is kept up to the bound and flagged.

#include "fuzzcheck.h"
#include "hexfile/stdhexfile.h"
#include "reference.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

// The file's bytes from the input. Its first byte chooses the layout: with
// bit 7 set, the rest follows a run of filler (":" or "A", bit 6) that ends
// just short of one or two buffer fills (bit 5), so that the rest's
// terminators fall on the buffer's edge and the first line is longer than a
// whole buffer.
std::string fileBytes(const uint8_t* data, size_t size) {
    if (size == 0) {
        return {};
    }
    std::string bytes;
    const uint8_t layout = data[0];
    if ((layout & 0x80) != 0) {
        const size_t fills = (layout & 0x20) != 0 ? 2 : 1;
        const size_t pad = fills * quill::StdHexFile::bufferSize - (layout & 0x1F);
        bytes.assign(pad, (layout & 0x40) != 0 ? ':' : 'A');
    }
    bytes.append(reinterpret_cast<const char*>(data + 1), size - 1);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using quill::fuzz::require;
    static const std::string path = "/tmp/quill-fuzz-lines-" + std::to_string(::getpid()) + ".hex";
    const std::string bytes = fileBytes(data, size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        require(static_cast<bool>(out), "the scratch file is written");
    }
    // A UTF-8 byte-order mark at the very start, as some editors write, is
    // no part of the first line.
    std::string_view text = bytes;
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    const std::vector<std::string> expected = quill::fuzz::splitLines(text);

    quill::StdHexFile file;
    require(file.open(path), "a regular file opens");
    require(file.length() == static_cast<int64_t>(bytes.size()), "the length is the file's size");
    std::vector<std::string> lines;
    std::string line;
    constexpr size_t bound = quill::HexFileSource::maxLineBytes;
    while (!file.eof()) {
        require(file.readLine(line), "a line is read while the file is not at its end");
        require(line.size() <= bound, "a line is never held beyond the bound");
        require(lines.size() < expected.size(), "no more lines than the file holds");
        const std::string& whole = expected[lines.size()];
        require(file.lineTooLong() == (whole.size() > bound),
                "a line is flagged too long exactly when it is longer than the bound");
        lines.push_back(line);
    }
    require(!file.readLine(line), "nothing is read at the end");
    require(!file.failed(), "no read fails");
    require(lines.size() == expected.size(), "as many lines as the splitter finds");
    for (size_t i = 0; i < lines.size(); ++i) {
        require(lines[i] == expected[i].substr(0, bound),
                "each line is the splitter's, byte for byte, up to the bound");
    }

    require(file.rewind(), "the file rewinds");
    const bool again = file.readLine(line);
    require(again == !expected.empty(), "after a rewind the first line is there again");
    require(!again || line == expected.front().substr(0, bound),
            "after a rewind the first line is read again");
    file.close();
    std::remove(path.c_str());
    return 0;
}
