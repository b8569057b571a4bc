// Record decoding and the rebuilt flash image.

#include "devsim/imagebuilder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace quill::devsim {
namespace {

// A record line with its checksum, built here rather than by the code under test.
std::string line(uint8_t type, uint16_t offset, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> fields{static_cast<uint8_t>(data.size()),
                                static_cast<uint8_t>(offset >> 8),
                                static_cast<uint8_t>(offset & 0xFF), type};
    fields.insert(fields.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (const uint8_t b : fields)
        sum += b;
    fields.push_back(static_cast<uint8_t>(0x100 - sum % 0x100));
    std::string text = ":";
    char hex[3];
    for (const uint8_t b : fields) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        text += hex;
    }
    return text;
}

void build(ImageBuilder& image, const std::vector<std::string>& lines) {
    for (const auto& l : lines) {
        const ParsedRecord parsed = parseRecord(l);
        ASSERT_TRUE(parsed.record) << l << ": " << parsed.error;
        ASSERT_EQ(image.add(*parsed.record), "") << l;
    }
}

TEST(ParseRecord, AcceptsWellFormedRecordsOnly) {
    struct Case {
        std::string line;
        bool ok;
    };
    const Case cases[] = {
        {":0400100012FF34FFA8", true},
        {":0400100012ff34ffa8", true},
        {":00000001FF  and more", true}, // characters after the checksum are not examined
        {":020000040000FA", true},
        {":0400100012FF34FF00", false}, // checksum
        {":0400100012G234FFA8", false}, // not a hex digit
        {":04001000", false},           // shorter than its byte count
        {":", false},
        {"0400100012FF34FFA8", false}, // no start code
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseRecord(c.line).record.has_value(), c.ok) << c.line;

    const ParsedRecord parsed = parseRecord(":0400100012FF34FFA8");
    ASSERT_TRUE(parsed.record);
    EXPECT_EQ(parsed.record->type, kTypeData);
    EXPECT_EQ(parsed.record->offset, 0x0010);
    EXPECT_EQ(parsed.record->data, (std::vector<uint8_t>{0x12, 0xFF, 0x34, 0xFF}));
}

TEST(ImageBuilder, LinearBaseAndGapsFilledWithFF) {
    ImageBuilder image;
    build(image, {line(kTypeLinearAddress, 0, {0x08, 0x00}), line(kTypeData, 0x0000, {1, 2, 3}),
                  line(kTypeData, 0x0010, {0xAA, 0xBB}), line(kTypeStartLinear, 0, {8, 0, 0, 0}),
                  line(kTypeEndOfFile, 0, {})});
    std::vector<uint8_t> expected(0x12, 0xFF);
    expected[0] = 1;
    expected[1] = 2;
    expected[2] = 3;
    expected[0x10] = 0xAA;
    expected[0x11] = 0xBB;
    EXPECT_TRUE(image.ended());
    EXPECT_EQ(image.lowest(), 0x08000000u);
    EXPECT_EQ(image.bytes(), expected);

    const auto path = std::filesystem::path(testing::TempDir()) /
                      ("quill_devsim_image_" + std::to_string(::getpid()) + ".bin");
    const WriteResult result = image.write(path.string());
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.base, 0x08000000u);
    EXPECT_EQ(result.length, expected.size());
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> written{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(written, expected);
    std::filesystem::remove(path);
}

TEST(ImageBuilder, SegmentBaseIsSixteenTimesItsValueAndRecordsRunOnPastTheSegment) {
    ImageBuilder segmented;
    build(segmented,
          {line(kTypeSegmentAddress, 0, {0x10, 0x00}), line(kTypeData, 0xFFFE, {0x11, 0x22, 0x33}),
           line(kTypeData, 0xFFF0, {0x44})});
    EXPECT_EQ(segmented.memory(),
              (std::map<uint32_t, uint8_t>{
                  {0x1FFF0, 0x44}, {0x1FFFE, 0x11}, {0x1FFFF, 0x22}, {0x20000, 0x33}}));
    std::vector<uint8_t> expected(0x11, 0xFF);
    expected[0] = 0x44;
    expected[0x0E] = 0x11;
    expected[0x0F] = 0x22;
    expected[0x10] = 0x33;
    EXPECT_EQ(segmented.bytes(), expected);

    // A later address record replaces the base, whichever its kind.
    build(segmented, {line(kTypeLinearAddress, 0, {0x00, 0x02}), line(kTypeData, 0x0001, {0x55})});
    EXPECT_EQ(segmented.highest(), 0x20001u);
}

TEST(ImageBuilder, RejectsMalformedRecordsAndCountsOverwrites) {
    ImageBuilder image;
    build(image, {line(kTypeData, 0x0100, {1, 2}), line(kTypeData, 0x0101, {9})});
    EXPECT_EQ(image.overwrites(), 1);
    EXPECT_EQ(image.memory().at(0x0101), 9);

    EXPECT_NE(image.add({kTypeLinearAddress, 0, {0x08}}), "");
    EXPECT_NE(image.add({kTypeEndOfFile, 0, {0x00}}), "");
    EXPECT_NE(image.add({0x06, 0, {}}), "");
    EXPECT_FALSE(image.ended());
    EXPECT_EQ(image.lowest(), 0x0100u); // the bad address record moved nothing
}

TEST(ImageBuilder, RefusesToFillAHugeSpan) {
    ImageBuilder image;
    build(image, {line(kTypeData, 0, {1}), line(kTypeLinearAddress, 0, {0x10, 0x00}),
                  line(kTypeData, 0, {2})});
    EXPECT_FALSE(image.bytes());
    EXPECT_FALSE(image.write("/nonexistent/never-created.bin").ok);
}

} // namespace
} // namespace quill::devsim
